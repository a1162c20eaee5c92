#pragma once
// The command line as UTF-8. On Windows argv is in the ANSI code page, which
// cannot hold a name such as 计数.txt, so it is rebuilt from the wide
// command line; elsewhere it is UTF-8 already and left alone.
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

class Utf8Arguments {
public:
    // Points argc/argv at UTF-8 copies that live as long as this object.
    Utf8Arguments(int& argc, char**& argv) {
#ifdef _WIN32
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
#else
        (void)argc;
        (void)argv;
#endif
    }
    Utf8Arguments(const Utf8Arguments&) = delete;
    Utf8Arguments& operator=(const Utf8Arguments&) = delete;

private:
    std::vector<std::string> args_;
    std::vector<char*> pointers_;
};
