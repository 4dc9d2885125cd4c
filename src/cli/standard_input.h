// The standard input of tarnwick-split as the job's source (SOURCE '-'): a pipe, a
// redirected file or the console, read in the job's blocks and never closed.
#pragma once

#include <memory>
#include <string>

#include "splitter/split_job.h"

namespace tarnwick::cli {

// The standard input, or null with the reason when the process has none.
std::unique_ptr<InputFile> OpenStandardInput(std::string& error);

}  // namespace tarnwick::cli
