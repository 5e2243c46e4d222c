// Internal: whether a path leads where it led when it was looked at. A
// folder whose owner is the user or root and that others cannot write (or,
// sticky as /tmp is, whose entry is the user's or root's) cannot have its
// entries replaced by anyone else; a way all of whose steps are such keeps
// naming the same thing between a check and the use.
#pragma once

#include <sys/stat.h>

#include <string>

// Whether nobody but the user and root can replace the entry `entry` of the
// folder `folder` (both lstat'ed): the folder is theirs and closed to other
// writers, or it is sticky (as /tmp is) and the entry is theirs.
bool SteadyEntry(const struct stat& folder, const struct stat& entry);

// Whether every folder on the way to the folder `folder` (links followed,
// their folders too) lets nobody but the user and root change what the way
// leads to.
bool SteadyWay(const std::string& folder);

// The same for the way to `path` and what it names at its end, which may be
// something other than a folder, or still absent (in a folder where nobody
// else can put it).
bool SteadyPath(const std::string& path);
