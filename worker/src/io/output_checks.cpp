#include "io/output_checks.h"

#include <filesystem>

#include "io/output_checks_platform.h"
#include "text/errors.h"

namespace sentiment {

namespace {

using platform::identity;

[[noreturn]] void refuse_kind(const std::string& name, const std::string& en, const std::string& zh) {
    throw Error(name + ": cannot be written as an output, it is " + en + "; give the name of a regular file",
                name + "：不能作为输出文件，它是" + zh + "；请指定一个普通文件名");
}

}  // namespace

void check_output_kind(const std::string& path, const std::string& display_name) {
    if (path.empty())
        throw Error("an output file name is empty; give the name of a regular file", "输出文件名为空；请指定一个普通文件名");
    if (const auto kind = platform::unwritable_kind(path)) refuse_kind(display_name, kind->english, kind->chinese);
}

void check_run_files(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs) {
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const auto id = identity(inputs[i], true);
        for (std::size_t j = 0; id && j < i; ++j)
            if (identity(inputs[j], true) == id)
                throw Error(inputs[j] + " and " + inputs[i] + " are the same file; each needs a file of its own "
                                "(was one file chosen for both?)",
                            inputs[j] + " 与 " + inputs[i] + " 是同一个文件；二者需要各自的文件（是否同一个文件选了两次？）");
    }
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        check_output_kind(outputs[o], outputs[o]);
        const auto out_id = identity(outputs[o], false);
        for (const std::string& input : inputs) {
            // An atomic write through the output's name replaces that entry:
            // refuse when the entry is the input's file, or the very link
            // the input is read through.
            const bool same = out_id && (identity(input, true) == out_id || identity(input, false) == out_id);
            if (same)
                throw Error(outputs[o] + ": this output is the same file as the input " + input +
                                "; writing it would destroy that input (was a file name given to the wrong option?)",
                            outputs[o] + "：这个输出文件与输入文件 " + input +
                                " 是同一个文件，写入会毁掉输入（是否把文件名填错了选项？）");
        }
        for (std::size_t p = 0; p < o; ++p) {
            const auto other = identity(outputs[p], false);
            const bool same = (out_id && other) ? *out_id == *other
                                                : std::filesystem::u8path(outputs[o]).lexically_normal() ==
                                                      std::filesystem::u8path(outputs[p]).lexically_normal();
            if (same)
                throw Error(outputs[o] + " and " + outputs[p] +
                                " are the same file; each output needs a name of its own",
                            outputs[o] + " 与 " + outputs[p] + " 是同一个文件；每个输出文件需要各自的文件名");
        }
    }
}

}  // namespace sentiment
