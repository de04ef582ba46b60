// The way from where a pattern starts to its directory, taken one step at a time.
#pragma once

// Opens the directory that the first length bytes of pattern name (its directory
// part, separator included; none for the current directory), reached from "/" or
// the current directory one component at a time, each link read and its target
// walked the same way: a descriptor of that directory good for searching it (not
// for reading it), or -1 when the way does not exist, takes a step that
// refusedStep then names, or fails otherwise, as searchFailure then says. The
// walk holds the descriptor, and the caller never closes it: the same directory
// part, byte for byte, is walked once per run, and later patterns get the
// directory reached then.
[[nodiscard]] int openSafeWay(const char* pattern, int length);

// Records that the directory the first length bytes of pattern name could not
// be reached, listed or looked into, for the system's error, which searchFailure
// then gives; an error that means the way is not there records nothing, since
// that is an empty search.
void recordUnlistable(const char* pattern, int length, int error);
