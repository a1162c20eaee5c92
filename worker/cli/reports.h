// What the subcommands tell their caller, as whole texts: the CLI writes
// each at once and checks the write.
#pragma once

#include <string>

#include "commands.h"

namespace sentiment {

std::string train_report(const TrainReport& report, const TrainFiles& files);
std::string test_report(const TestSummary& summary);
std::string eval_report(const Evaluation& e);

}  // namespace sentiment
