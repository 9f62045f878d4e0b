#include "daemon/BadgeEvent.h"
#include "daemon/SyncSchedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace std::chrono_literals;
using std::chrono::milliseconds;

namespace {

constexpr milliseconds kReceived = BadgeEvent::kReceivedWait;
constexpr milliseconds kSent = BadgeEvent::kSentWait;
const SyncSchedule::TimePoint kT0{};

SyncSchedule schedule() { return SyncSchedule(kSent); }

}  // namespace

TEST(SyncSchedule, AnyNumberOfNotificationsMakeOnePendingSyncAfterTheLastOnesWait) {
    SyncSchedule s = schedule();
    EXPECT_FALSE(s.pending());
    for (int i = 0; i < 200000; ++i) {
        s.notify(kT0 + milliseconds(i / 100), kReceived);
        ASSERT_EQ(s.scheduled(), 1) << "notification " << i;
    }
    EXPECT_EQ(s.due(), kT0 + 1999ms + kReceived) << "the last one still gets its whole wait";
    s.start(s.due());
    EXPECT_FALSE(s.pending());
    EXPECT_EQ(s.scheduled(), 0);
}

TEST(SyncSchedule, ANotificationDuringASyncsWorkMakesExactlyOneMoreSync) {
    SyncSchedule s = schedule();
    s.notify(kT0, kReceived);
    s.start(kT0 + 2s);
    for (int i = 0; i < 5; ++i) s.notify(kT0 + 2100ms + milliseconds(i), kReceived);
    ASSERT_EQ(s.scheduled(), 1);
    EXPECT_EQ(s.due(), kT0 + 4104ms);
    s.start(kT0 + 4104ms);
    EXPECT_EQ(s.scheduled(), 0);
}

TEST(SyncSchedule, AReceivedMessageDuringASentOnesWaitIsServedByItsLongerWait) {
    SyncSchedule s = schedule();
    s.notify(kT0, kSent);
    s.notify(kT0 + 10s, kReceived);
    EXPECT_EQ(s.scheduled(), 1);
    EXPECT_EQ(s.due(), kT0 + kSent);
    // One a sent wait after the first, though, needs a sync of its own.
    s.notify(kT0 + 59s, kReceived);
    EXPECT_EQ(s.scheduled(), 2);
    EXPECT_EQ(s.due(), kT0 + kSent);
    SyncSchedule late = s;
    s.start(kT0 + kSent);
    ASSERT_TRUE(s.pending());
    EXPECT_EQ(s.due(), kT0 + 61s);
    // A sync that could only start later serves both at once.
    late.start(kT0 + 61s);
    EXPECT_FALSE(late.pending());
}

// Seeded orders of notifications (received and sent, in bursts and apart)
// and of syncs that take their time, against what the schedule promises for
// each notification: a sync starts no earlier than its wait after it, and
// one does start within a bounded time; no sync starts that the previous one
// had not left needed; and it never holds more than two syncs.
TEST(SyncSchedule, SeededOrdersKeepEveryPromise) {
    constexpr milliseconds kMaxWork = 3s;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        struct Note {
            milliseconds at;
            milliseconds wait;
        };
        std::vector<Note> notes;
        milliseconds at{0};
        const int count = 1 + static_cast<int>(random() % 200);
        for (int i = 0; i < count; ++i) {
            const unsigned gap = random() % 10;
            at += gap < 4 ? 0ms : gap < 8 ? milliseconds(random() % 3000) : milliseconds(random() % 90000);
            notes.push_back({at, random() % 8 == 0 ? kSent : kReceived});
        }

        SyncSchedule s = schedule();
        std::vector<milliseconds> starts;
        std::size_t next = 0;
        milliseconds now{0};
        std::optional<milliseconds> workingUntil;
        int most = 0;
        while (next < notes.size() || s.pending() || workingUntil) {
            const milliseconds never = milliseconds::max();
            const milliseconds noteAt = next < notes.size() ? notes[next].at : never;
            const milliseconds endAt = workingUntil ? *workingUntil : never;
            const milliseconds startAt = !workingUntil && s.pending()
                                             ? std::max(now, std::chrono::duration_cast<milliseconds>(s.due() - kT0))
                                             : never;
            if (endAt <= noteAt && endAt <= startAt) {
                now = endAt;
                workingUntil.reset();
            } else if (noteAt <= startAt) {
                now = noteAt;
                s.notify(kT0 + now, notes[next++].wait);
                most = std::max(most, s.scheduled());
            } else {
                now = startAt;
                s.start(kT0 + now);
                starts.push_back(now);
                workingUntil = now + milliseconds(random() % (kMaxWork.count() + 1));
            }
        }

        EXPECT_LE(most, 2);
        for (const Note& note : notes) {
            // The first sync that may read what the notification announced.
            const auto served = std::lower_bound(starts.begin(), starts.end(), note.at + note.wait);
            ASSERT_NE(served, starts.end()) << "a notification at " << note.at.count() << " ms was never served";
            EXPECT_LE(*served - (note.at + note.wait), kSent + 2 * kMaxWork) << "at " << note.at.count() << " ms";
        }
        for (std::size_t i = 0; i < starts.size(); ++i) {
            const milliseconds previous = i == 0 ? milliseconds::min() : starts[i - 1];
            // Some notification before this start was not yet readable at the previous one.
            const bool needed = std::any_of(notes.begin(), notes.end(), [&](const Note& note) {
                return note.at <= starts[i] && (i == 0 || note.at + note.wait > previous);
            });
            EXPECT_TRUE(needed) << "sync " << i << " at " << starts[i].count() << " ms";
        }
    }
}
