#include "learn/memory_budget.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "text/errors.h"

namespace sentiment {

std::uint64_t default_memory_budget(std::uint64_t physical, std::uint64_t address_limit) {
    constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
    const std::uint64_t share = physical == 0 ? 512 * kMiB : std::min<std::uint64_t>(physical / 4, 2048 * kMiB);
    return address_limit == 0 ? share : std::max<std::uint64_t>(1, std::min(share, address_limit / 2));
}

std::uint64_t parse_memory_mb(std::string_view text) {
    std::uint64_t mb = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), mb);
    const bool number = !text.empty() && ec != std::errc::invalid_argument && end == text.data() + text.size();
    if (number && ec == std::errc{} && mb <= kMaxMemoryMb) return mb;
    const std::string most = std::to_string(kMaxMemoryMb), found = quoted(text);
    if (!number)
        throw Error("--memory must be a whole number of megabytes from 0 to " + most + ", not " + found,
                    "--memory 应为 0 到 " + most + " 之间的整数（单位 MB），而不是 " + found);
    throw Error("--memory " + std::string(text) + " is more than the most it takes, " + most + " MB",
                "--memory " + std::string(text) + " 超过了上限 " + most + " MB");
}

}  // namespace sentiment
