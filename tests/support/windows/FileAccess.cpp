#include "FileAccess.h"

#include <windows.h>

#include <aclapi.h>
#include <memory>
#include <vector>

namespace zeb::test {
namespace {

// The SID of the user this process runs as.
std::vector<unsigned char> userSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    const bool read = size != 0 && ::GetTokenInformation(token, TokenUser, user.data(), size, &size);
    ::CloseHandle(token);
    if (!read)
        return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    const auto* bytes = static_cast<const unsigned char*>(sid);
    return std::vector<unsigned char>(bytes, bytes + ::GetLengthSid(sid));
}

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    return ::IsWellKnownSid(sid, type) != FALSE;
}

} // namespace

// Every entry that grants something names the user, the system, the administrators or the
// owner; without an access list at all, everybody may do everything.
bool ReadableByUserOnly(const std::filesystem::path& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const std::unique_ptr<void, decltype(&::LocalFree)> owned(descriptor, &::LocalFree);
    std::vector<unsigned char> user = userSid();
    if (dacl == nullptr || user.empty())
        return false;
    bool userMayRead = false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(dacl, i, &entry))
            return false;
        if (static_cast<ACE_HEADER*>(entry)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        const PSID sid = &allowed->SidStart;
        if (::EqualSid(sid, user.data())) {
            userMayRead = userMayRead || (allowed->Mask & (FILE_READ_DATA | GENERIC_READ | GENERIC_ALL)) != 0;
        } else if (!isWellKnown(sid, WinLocalSystemSid) && !isWellKnown(sid, WinBuiltinAdministratorsSid) &&
                   !isWellKnown(sid, WinCreatorOwnerRightsSid)) {
            return false;
        }
    }
    return userMayRead;
}

} // namespace zeb::test
