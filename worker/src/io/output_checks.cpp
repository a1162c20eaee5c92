#include "io/output_checks.h"

#include <filesystem>
#include <optional>

#include "io/output_checks_platform.h"
#include "io/standard_streams.h"
#include "text/errors.h"

namespace sentiment {

namespace {

namespace fs = std::filesystem;
using platform::identity;

[[noreturn]] void refuse_kind(const std::string& name, const platform::Kind& kind) {
    const std::string en = kind.linked ? std::string("a link to ") + kind.english : kind.english;
    const std::string zh = kind.linked ? std::string("指向") + kind.chinese + "的链接" : kind.chinese;
    throw Error(name + ": cannot be written as an output, it is " + en + "; give the name of a regular file",
                name + "：不能作为输出文件，它是" + zh + "；请指定一个普通文件名");
}

// Where a name puts its file: the directory it is in, known by identity so
// that every way of reaching that directory counts, and its name there.
struct Location {
    std::optional<platform::FileId> directory;
    std::string name;
};

Location location_of(const std::string& path) {
    const fs::path p = fs::u8path(path);
    const fs::path directory = p.has_parent_path() ? p.parent_path() : fs::path(".");
    return {identity(directory.u8string(), true), p.filename().u8string()};
}

// One entry of one directory, whether or not anything is there yet.
bool same_entry(const std::string& a, const std::string& b) {
    const Location x = location_of(a), y = location_of(b);
    return x.directory && x.directory == y.directory && platform::same_entry_name(x.name, y.name);
}

void check_inputs(const std::vector<std::string>& inputs) {
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        for (std::size_t j = 0; j < i && names_standard_input(inputs[i]); ++j)
            if (names_standard_input(inputs[j]))
                throw Error("two inputs are to be read from standard input; only one can be",
                            "有两个输入要从标准输入读取，但只能有一个");
        const auto id = names_standard_input(inputs[i]) ? std::nullopt : identity(inputs[i], true);
        for (std::size_t j = 0; id && j < i; ++j)
            if (identity(inputs[j], true) == id)
                throw Error(inputs[j] + " and " + inputs[i] + " are the same file; each needs a file of its own "
                                "(was one file chosen for both?)",
                            inputs[j] + " 与 " + inputs[i] + " 是同一个文件；二者需要各自的文件（是否同一个文件选了两次？）");
    }
}

// An atomic write through the output's name replaces that entry: refuse
// when the entry is the input's file, the very link the input is read
// through, or where the input is.
void check_against_inputs(const std::string& output, const std::vector<std::string>& inputs) {
    const auto out_id = identity(output, false);
    for (const std::string& input : inputs) {
        if (names_standard_input(input)) continue;
        const bool same = (out_id && (identity(input, true) == out_id || identity(input, false) == out_id)) ||
                          same_entry(output, input);
        if (same)
            throw Error(output + ": this output is the same file as the input " + input +
                            "; writing it would destroy that input (was a file name given to the wrong option?)",
                        output + "：这个输出文件与输入文件 " + input + " 是同一个文件，写入会毁掉输入（是否把文件名填错了选项？）");
    }
}

void check_against_earlier(const std::vector<std::string>& outputs, std::size_t o) {
    const auto out_id = identity(outputs[o], false);
    for (std::size_t p = 0; p < o; ++p) {
        if (output_stream_named(outputs[p])) continue;
        const auto other = identity(outputs[p], false);
        if ((out_id && out_id == other) || same_entry(outputs[o], outputs[p]))
            throw Error(outputs[o] + " and " + outputs[p] + " are the same file; each output needs a name of its own",
                        outputs[o] + " 与 " + outputs[p] + " 是同一个文件；每个输出文件需要各自的文件名");
    }
}

// Written through as they come, outputs to one stream would mix; one into
// a file the run reads would feed it its own output, and one into a file
// that another output replaces would go with the file it replaces.
void check_stream(StandardStream stream, const std::vector<std::string>& inputs,
                  const std::vector<std::string>& outputs, std::size_t o) {
    const bool output = stream == StandardStream::Output;
    const std::string en = output ? "standard output" : "standard error", zh = output ? "标准输出" : "标准错误";
    for (std::size_t p = 0; p < o; ++p)
        if (output_stream_named(outputs[p]) == stream)
            throw Error(outputs[p] + " and " + outputs[o] + " both go to " + en + "; each output needs a place of its own",
                        outputs[p] + " 与 " + outputs[o] + " 都写到" + zh + "；每个输出需要各自的去处");
    const auto file = platform::stream_file(stream);
    if (!file) return;
    for (const std::string& input : inputs)
        if (!names_standard_input(input) && identity(input, true) == file)
            throw Error(en + " is the input " + input + "; writing there would destroy it (send the output elsewhere)",
                        zh + "就是输入文件 " + input + "，写入会毁掉它（请把输出写到别处）");
    for (const std::string& other : outputs)
        if (!output_stream_named(other) && identity(other, true) == file)
            throw Error(en + " is the output " + other + ", which would replace what is written there "
                            "(send the output elsewhere)",
                        zh + "就是输出文件 " + other + "，它会取代写到那里的内容（请把输出写到别处）");
}

}  // namespace

void check_output_kind(const std::string& path, const std::string& display_name) {
    if (path.empty())
        throw Error("an output file name is empty; give the name of a regular file", "输出文件名为空；请指定一个普通文件名");
    if (const auto kind = platform::unwritable_kind(path)) refuse_kind(display_name, *kind);
}

void check_run_files(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs) {
    check_inputs(inputs);
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        if (const auto stream = output_stream_named(outputs[o])) {
            check_stream(*stream, inputs, outputs, o);
            continue;
        }
        check_output_kind(outputs[o], outputs[o]);
        check_against_inputs(outputs[o], inputs);
        check_against_earlier(outputs, o);
    }
}

}  // namespace sentiment
