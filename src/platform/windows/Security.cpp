#include "Security.h"

#include "Handle.h"

#include <aclapi.h>
#include <sddl.h>
#include <string>
#include <vector>

namespace zeb::windows {

namespace {

// The token's user and default owner, read once.
struct Identity {
    std::vector<unsigned char> user;
    std::vector<unsigned char> owner;
    std::wstring userText;
};

std::vector<unsigned char> tokenPart(HANDLE token, TOKEN_INFORMATION_CLASS part) {
    DWORD size = 0;
    ::GetTokenInformation(token, part, nullptr, 0, &size);
    std::vector<unsigned char> bytes(size);
    if (size == 0 || !::GetTokenInformation(token, part, bytes.data(), size, &size))
        bytes.clear();
    return bytes;
}

const Identity& identity() {
    static const Identity known = [] {
        Identity found;
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
            return found;
        const Handle held(token);
        found.user = tokenPart(token, TokenUser);
        found.owner = tokenPart(token, TokenOwner);
        if (!found.user.empty()) {
            wchar_t* text = nullptr;
            if (::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(found.user.data())->User.Sid, &text)) {
                found.userText = text;
                ::LocalFree(text);
            }
        }
        return found;
    }();
    return known;
}

// A protected list (nothing inherited): full access for the user, the system and the
// administrators. `inherit` passes it on to files and folders made inside.
class PrivateSecurity {
public:
    explicit PrivateSecurity(bool inherit) {
        const std::wstring& user = identity().userText;
        if (user.empty())
            return;
        const std::wstring flags = inherit ? L"OICI" : L"";
        const std::wstring sddl =
            L"D:P(A;" + flags + L";FA;;;" + user + L")(A;" + flags + L";FA;;;SY)(A;" + flags + L";FA;;;BA)";
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                    &descriptor, nullptr))
            return;
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor; // for the whole run
        attributes_.bInheritHandle = FALSE;
        usable_ = true;
    }
    SECURITY_ATTRIBUTES* get() { return usable_ ? &attributes_ : nullptr; }

private:
    SECURITY_ATTRIBUTES attributes_{};
    bool usable_ = false;
};

} // namespace

SECURITY_ATTRIBUTES* PrivateFileSecurity() {
    static PrivateSecurity security(false);
    return security.get();
}

SECURITY_ATTRIBUTES* PrivateFolderSecurity() {
    static PrivateSecurity security(true);
    return security.get();
}

bool OwnedByUser(HANDLE handle) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                          nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const Identity& me = identity();
    const bool mine = owner != nullptr &&
                      ((!me.user.empty() &&
                        ::EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(me.user.data())->User.Sid)) ||
                       (!me.owner.empty() &&
                        ::EqualSid(owner, reinterpret_cast<const TOKEN_OWNER*>(me.owner.data())->Owner)));
    ::LocalFree(descriptor);
    return mine;
}

} // namespace zeb::windows
