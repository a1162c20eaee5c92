#include "utf8_arguments.h"

#include <windows.h>
#include <shellapi.h>

Utf8Arguments::Utf8Arguments(int& argc, char**& argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i) {
        int len = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string s(len > 0 ? len - 1 : 0, '\0');
        if (len > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, s.data(), len, nullptr, nullptr);
        args_.push_back(std::move(s));
    }
    if (wide) LocalFree(wide);
    for (auto& s : args_) pointers_.push_back(s.data());
    if (!pointers_.empty()) {
        argc = static_cast<int>(pointers_.size());
        pointers_.push_back(nullptr);
        argv = pointers_.data();
    }
}
