#pragma once

#include <filesystem>
#include <optional>

#include "jobs/job_context.h"

namespace qv {

// The settings backup, the job behind bGetParamsClick: finds the device's port, waits until the
// device answers (its version word goes to SettingsVersion), reads settings blocks 1 to 127 and
// saves them, scrambled, behind the version word in a file named after the local date and time
// at which the reading finished, in the current folder ("2026_02_03_09_05.prmz"), then shows
// "Настройки сохранены в файл " and the name. A front end may name the file itself (`output`);
// the message then gives that name. A failed block read or file write leaves as Exception after
// the clean-up, and no file (nor a part of one) is left behind: an older file of that name stays.
JobResult BackupSettings(JobContext& ctx,
                         const std::optional<std::filesystem::path>& output = std::nullopt);

}  // namespace qv
