// Another user for the tests that need one (they run as root): a child
// process that gives up root for "nobody" and then runs a function, as a
// user who shares the machine would, at the same time as the test.
#pragma once

#include <grp.h>
#include <sys/types.h>
#include <unistd.h>

#include <functional>

#include "support/child_process.h"

constexpr uid_t kNobody = 65534;

// Starts `body` as kNobody in a child (WaitChild or kill to end it); the
// child exits 125 when it cannot become that user.
inline pid_t StartAsAnotherUser(const std::function<int()>& body) {
  return StartChild([&] {
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) return 125;
    return body();
  });
}
