#pragma once
// The command line as UTF-8. On Windows argv is in the ANSI code page, which
// cannot hold a name such as 计数.txt, so it is rebuilt from the wide
// command line (utf8_arguments_win32.cpp); elsewhere it is UTF-8 already and
// left alone (utf8_arguments_posix.cpp).
#include <string>
#include <vector>

class Utf8Arguments {
public:
    // Points argc/argv at UTF-8 copies that live as long as this object.
    Utf8Arguments(int& argc, char**& argv);
    Utf8Arguments(const Utf8Arguments&) = delete;
    Utf8Arguments& operator=(const Utf8Arguments&) = delete;

private:
    std::vector<std::string> args_;
    std::vector<char*> pointers_;
};
