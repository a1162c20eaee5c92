#pragma once
#include <string>
#include <string_view>

#include <windows.h>

namespace sentiment {

// Appends the UTF-8 of whole characters through a Windows code page; false
// if the system refuses any of them.
inline bool append_by_code_page(UINT code_page, std::string_view bytes, std::string& out) {
    if (bytes.empty()) return true;
    const int n = static_cast<int>(bytes.size());
    const int wide_len = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), n, nullptr, 0);
    if (wide_len <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(wide_len), L'\0');
    MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), n, wide.data(), wide_len);
    const int utf8_len = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_len, nullptr, 0, nullptr, nullptr);
    if (utf8_len <= 0) return false;
    const std::size_t old = out.size();
    out.resize(old + static_cast<std::size_t>(utf8_len));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_len, out.data() + old, utf8_len, nullptr, nullptr);
    return true;
}

}  // namespace sentiment
