// Builds an object on memory filled with 0xAB bytes, so that a member left
// without an initialiser reads 0xABABABAB instead of a lucky zero. The
// barriers keep the compiler from dropping the fill as a store before the
// object's lifetime or from assuming the members' values afterwards.
#pragma once

#include <cstring>
#include <new>
#include <utility>

template <class T>
class OnPattern {
 public:
  template <class... Args>
  explicit OnPattern(Args&&... args)
      : m_storage(static_cast<unsigned char*>(::operator new(sizeof(T), std::align_val_t(alignof(T))))) {
    std::memset(m_storage, 0xAB, sizeof(T));
    asm volatile("" : : "r"(m_storage) : "memory");
    // Without arguments: default-initialisation, as a declaration does
    // ("T()" would zero a record that has no constructor of its own).
    if constexpr (sizeof...(Args) == 0)
      m_object = new (m_storage) T;
    else
      m_object = new (m_storage) T(std::forward<Args>(args)...);
    asm volatile("" : : "r"(m_object) : "memory");
  }
  ~OnPattern() {
    m_object->~T();
    ::operator delete(m_storage, std::align_val_t(alignof(T)));
  }
  OnPattern(const OnPattern&) = delete;
  OnPattern& operator=(const OnPattern&) = delete;

  T& operator*() { return *m_object; }
  T* operator->() { return m_object; }

 private:
  unsigned char* m_storage;
  T* m_object = nullptr;
};
