#include "utf8_arguments.h"

Utf8Arguments::Utf8Arguments(int&, char**&) {}
