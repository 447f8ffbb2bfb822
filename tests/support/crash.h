// Kills a writer at each step of the update protocol, through the update's
// step hook, and checks that every file it replaces is wholly its old
// version or wholly its new one after each kill.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "authdb/update.h"
#include "support/sandbox.h"

namespace vant::test {

struct WholeFile {
    std::string path;  // logical
    std::string old_text, new_text;
};

struct Kill {
    authdb::UpdateStep step;
    std::vector<bool> is_new;  // per file, in the order given
};

struct CrashRun {
    // Lays the old versions out before each run.
    std::function<void()> prepare;
    // The update, run in a child.
    std::function<void()> update;
    // Looks at what a dead writer left before the harness clears it.
    std::function<void(const Kill &)> after_kill;
};

// Runs the update again and again, killing it at the first, second, ...
// step it reaches, until a run ends unkilled with every file new. A file
// once found new stays new at every later kill. Returns the kills.
std::vector<Kill> kill_at_every_step(const Sandbox &box, const std::vector<WholeFile> &files,
                                     const CrashRun &run);

// For a single update: each file is new exactly when the kill came once
// the new version had taken its name.
void expect_new_from_rename_on(const std::vector<Kill> &kills);

}  // namespace vant::test
