// Who could have prepared a step on the way to a pattern's directory on
// Windows: the owner of a folder, and the authors of a link.
#pragma once

#include <windows.h>

// SYSTEM itself, whom the walk counts as the owner of every start.
[[nodiscard]] PSID localSystem();

// Whether sid is the system: SYSTEM, Administrators or TrustedInstaller.
[[nodiscard]] bool isSystem(PSID sid);

// Whether a step from something owned by from into something owned by to may
// be taken: out of the system's always, out of anyone else's only into what
// the same owner owns. nullptr stands for an owner that could not be read.
[[nodiscard]] bool transitionAllowed(PSID from, PSID to);

// Finds the one author of a link besides the system, from the owner and ACL in
// link, into other (nullptr when the system alone could have laid or changed
// the link; otherwise it points into link); false when there are more, or when
// link names no owner or holds an entry the tool cannot judge.
[[nodiscard]] bool otherAuthor(PSECURITY_DESCRIPTOR link, PSID& other);
