// The authors of a link on Windows.
//
// A junction, mount point or directory symbolic link keeps the owner of the
// folder it was set on: setting or rewriting a mount point takes only the right
// to write a folder's data or attributes. So a link is judged by everyone who
// could have laid or changed it, its authors: its owner, and every SID its ACL
// lets write its data or attributes, change its ACL or owner, or delete it. A
// link of the system's alone may lead anywhere; one with a single author
// besides the system only to what that author owns; one with more, nowhere.
// Without this, a user who may write a folder on the way could point a run by
// SYSTEM into C:\Windows with a mount point, which needs no privilege to make.

#include "platform/link_authors_win32.h"

#include "platform/test_hooks_win32.h"

#include <windows.h>

namespace {

// The service account that owns Windows' own files:
// S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464.
struct SixPartSid {
    BYTE revision;
    BYTE partCount;
    SID_IDENTIFIER_AUTHORITY authority;
    DWORD parts[6];
};
SixPartSid trustedInstaller{
    SID_REVISION, 6, {{0, 0, 0, 0, 0, 5}}, {80, 956008885u, 3418522649u, 1831038044u, 1853292631u, 2271478464u}};

// SYSTEM (S-1-5-18); Everyone (S-1-1-0), whom a missing ACL lets do anything;
// OWNER RIGHTS (S-1-3-4), whose entry stands for the owner's own rights.
SID systemSid{SID_REVISION, 1, {{0, 0, 0, 0, 0, 5}}, {18}};
SID everyone{SID_REVISION, 1, {{0, 0, 0, 0, 0, 1}}, {0}};
SID ownerRights{SID_REVISION, 1, {{0, 0, 0, 0, 0, 3}}, {4}};

// Counts sid among a link's authors, where other holds the one besides the
// system found so far; false when sid is a second one.
bool countAuthor(PSID sid, PSID& other)
{
    if (isSystem(sid) || (other != nullptr && EqualSid(sid, other)))
        return true;
    if (other != nullptr)
        return false;
    other = sid;
    return true;
}

// Whether an allow entry's rights let its SID set or rewrite a link's target
// (its data or attributes), change its ACL or owner, or delete it. Generic
// rights count as the file rights they stand for.
bool letsChangeLink(ACCESS_MASK mask)
{
    GENERIC_MAPPING fileRights{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    MapGenericMask(&mask, &fileRights);
    return (mask & (FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES | WRITE_DAC | WRITE_OWNER | DELETE)) != 0;
}

bool isDenial(BYTE type)
{
    return type == ACCESS_DENIED_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE
           || type == ACCESS_DENIED_CALLBACK_ACE_TYPE || type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
}

// Counts every SID whom an entry of acl lets change the link; false at a second
// author besides the system, or at an entry of a kind the tool cannot judge. A
// denial earns no trust: whom it holds back depends on group memberships and
// on the entries' order, which the tool does not judge.
bool countGrantees(PACL acl, PSID owner, PSID& other)
{
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        LPVOID entry;
        if (!GetAce(acl, i, &entry))
            return false;
        auto* const allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        const BYTE type = allowed->Header.AceType;
        if (isDenial(type))
            continue;
        if (type != ACCESS_ALLOWED_ACE_TYPE && type != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
            return false;
        if (allowed->Header.AceFlags & INHERIT_ONLY_ACE)
            continue; // meant for what is made inside the link's folder, not for the link
        PSID sid = &allowed->SidStart;
        if (!IsValidSid(sid))
            return false;
        if (EqualSid(sid, &ownerRights))
            sid = owner;
        if (letsChangeLink(allowed->Mask) && !countAuthor(sid, other))
            return false;
    }
    return true;
}

} // namespace

PSID localSystem()
{
    return &systemSid;
}

bool isSystem(PSID sid)
{
    return sid != nullptr
           && (IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid)
               || EqualSid(sid, &trustedInstaller));
}

// A step into something whose owner could not be read is never taken.
bool transitionAllowed(PSID from, PSID to)
{
    return to != nullptr && (isSystem(from) || (from != nullptr && EqualSid(from, to)));
}

bool otherAuthor(PSECURITY_DESCRIPTOR link, PSID& other)
{
    other = nullptr;
    PSID owner = nullptr;
    PACL acl = nullptr;
    BOOL present = FALSE;
    BOOL defaulted;
    if (!GetSecurityDescriptorOwner(link, &owner, &defaulted) || owner == nullptr
        || !GetSecurityDescriptorDacl(link, &present, &acl, &defaulted))
        return false;
    countAuthor(owner, other); // the first author is never a second one
    if (!present || acl == nullptr)
        return countAuthor(&everyone, other); // no ACL at all lets everyone do anything
    return countGrantees(acl, owner, other);
}

// The folder a link leads to must belong to its one author besides the
// system, if it has one; nothing is guessed about an owner not read.
bool linkStepAllowed(PSECURITY_DESCRIPTOR link, PSID targetOwner)
{
    PSID other;
    return otherAuthor(link, other) && targetOwner != nullptr && (other == nullptr || EqualSid(other, targetOwner));
}
