// Releases an object through its own Destroy when there is one, and clears
// the pointer. Destroy cannot test its own `this` against null.
#pragma once

template <class T>
void SafeDestroy(T*& object) {
  if (object != nullptr) {
    T* doomed = object;
    object = nullptr;
    doomed->Destroy();
  }
}
