#include "support/crash.h"

#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "support/child.h"
#include "support/leftovers.h"

namespace vant::test {
namespace {

using authdb::UpdateStep;

// The child's own: the step call at which it dies.
int kill_at = 0;
int reached = 0;

void die_at_chosen_step(UpdateStep step) {
    if (++reached != kill_at) return;
    dprintf(STDOUT_FILENO, "%d", static_cast<int>(step));
    raise(SIGKILL);
}

constexpr int kMostSteps = 100;

}  // namespace

std::vector<Kill> kill_at_every_step(const Sandbox &box, const std::vector<WholeFile> &files,
                                     const CrashRun &run) {
    std::vector<Kill> kills;
    std::vector<bool> was_new(files.size(), false);
    for (int n = 1; n <= kMostSteps; ++n) {
        SCOPED_TRACE("killed at step call " + std::to_string(n));
        if (run.prepare) run.prepare();
        kill_at = n;
        ChildResult r = run_child([&run] {
            reached = 0;
            authdb::set_update_step_hook(die_at_chosen_step);
            run.update();
        });
        if (r.signal != SIGKILL) {
            EXPECT_EQ(r.exit_status, 0) << r.err;
            for (const WholeFile &f : files)
                EXPECT_EQ(box.read(f.path), f.new_text) << f.path << " after an unkilled run";
            EXPECT_NOTHING_LEFT_BEHIND(box);
            EXPECT_FALSE(kills.empty()) << "the update reached no step";
            return kills;
        }
        Kill kill{static_cast<UpdateStep>(std::stoi(r.out.empty() ? "-1" : r.out)), {}};
        for (size_t i = 0; i < files.size(); ++i) {
            std::string text = box.read(files[i].path);
            bool is_new = text == files[i].new_text;
            EXPECT_TRUE(is_new || text == files[i].old_text) << files[i].path << " torn";
            EXPECT_TRUE(is_new || !was_new[i]) << files[i].path << " went back to old";
            was_new[i] = is_new;
            kill.is_new.push_back(is_new);
        }
        kills.push_back(kill);
        if (run.after_kill) run.after_kill(kill);
        for (const std::string &p : left_behind(box))
            box.remove(p);
    }
    ADD_FAILURE() << "the update went on past " << kMostSteps << " steps";
    return kills;
}

void expect_new_from_rename_on(const std::vector<Kill> &kills) {
    std::vector<UpdateStep> all;
    for (int s = 0; s <= static_cast<int>(UpdateStep::directory_synced); ++s)
        all.push_back(static_cast<UpdateStep>(s));
    std::vector<UpdateStep> seen;
    for (const Kill &k : kills) {
        seen.push_back(k.step);
        for (bool is_new : k.is_new)
            EXPECT_EQ(is_new, k.step >= UpdateStep::renamed) << static_cast<int>(k.step);
    }
    EXPECT_EQ(seen, all) << "one update passes every step once, in order";
}

}  // namespace vant::test
