#pragma once
// The random stroke player: strokes in all eight modes with the keys changing inside a stroke,
// hostile settings, lost releases, undo and redo at random, checked after every event.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ReliabilitySupport.h"
#include "brush/BrushMode.h"

namespace reliability {

using brushtest::allZero;
using brushtest::coloursShowMask;

class RandomStrokes : public brushtest::StrokeFixture {
public:
    struct Plan {
        std::uint32_t seed = 1;
        int events = 60;
        int maxIterations = 20;  // largest positive iteration count drawn
    };

    // Builds on `mesh` and plays `plan.events` random events, checking after each.
    void play(Mesh mesh, const Plan& plan) {
        SCOPED_TRACE(::testing::Message() << "seed " << plan.seed << " (rerun with VELMORA_SEED)");
        rng.seed(plan.seed);
        maxIterations = plan.maxIterations;
        buildOn(std::move(mesh));
        frameMesh(ip, *cloth.mesh, Point3(uniform(-1, 1), uniform(-1, 1), uniform(0.2f, 1)), chance(0.5));
        counts = Counts::of(cloth);
        ASSERT_TRUE(clothIsFinite(cloth)) << "after the build";
        ASSERT_TRUE(constraintsInRange(cloth));
        history.assign(1, Restorable::of(cloth));
        current = 0;

        for (int e = 0; e < plan.events && !HasFatalFailure(); ++e) {
            SCOPED_TRACE(::testing::Message() << "event " << e);
            step();
            SCOPED_TRACE(lastAction);
            checkSound();
        }
        if (HasFatalFailure()) return;
        if (cloth.strokeOpen) endStroke();

        // Undo everything: back to the state at mode entry; redo everything: back to the state
        // after the newest stroke (undone ones included).
        EXPECT_TRUE(sameRestorable(history[static_cast<size_t>(current)], Restorable::of(cloth)));
        const Restorable& last = history.back();
        while (theHold.Undo()) {}
        EXPECT_TRUE(sameRestorable(history.front(), Restorable::of(cloth))) << "after undoing everything";
        EXPECT_TRUE(coloursShowMask(cloth));
        while (theHold.Redo()) {}
        EXPECT_TRUE(sameRestorable(last, Restorable::of(cloth))) << "after redoing everything";
        EXPECT_TRUE(coloursShowMask(cloth));
        checkSound();
    }

private:
    float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng); }

    // A value for a float setting: mostly ordinary, sometimes zero, negative, huge, tiny or not
    // finite at all (the stroke guard must then put the event back).
    float hostileFloat(float usual) {
        switch (pick(0, 13)) {
            case 0: return 0.0f;
            case 1: return -usual;
            case 2: return uniform(-10.0f, 0.0f);
            case 3: return 1e30f;
            case 4: return -1e30f;
            case 5: return std::numeric_limits<float>::max();
            case 6: return 1e-30f;
            case 7: return std::numeric_limits<float>::denorm_min();
            case 8: return chance(0.5) ? INFINITY : NAN;
            case 9: return uniform(0.0f, 10.0f);
            default: return usual * uniform(0.5f, 1.5f);
        }
    }

    int hostileIterations() {
        switch (pick(0, 9)) {
            case 0: return 0;
            case 1: return -pick(1, 1000000);
            case 2: return std::numeric_limits<int>::min();
            case 3: return 1;
            case 4: return 2;
            default: return pick(1, maxIterations);
        }
    }

    void randomSettings() {
        BrushSettings s;  // defaults
        if (chance(0.6)) {
            s.iterations = hostileIterations();
            s.moveStrength = hostileFloat(1.0f);
            s.damping = hostileFloat(0.95f);
            s.plasticity = hostileFloat(0.1f);
            s.bendiness = hostileFloat(0.1f);
            s.pressure = hostileFloat(1.0f);
            s.gravity = hostileFloat(1.0f);
            s.maskVal = hostileFloat(0.5f);
            s.maskBlurStrength = hostileFloat(1.0f);
            s.clothStrength = hostileFloat(1.0f);
        } else {
            s.iterations = pick(1, maxIterations);
            s.maskVal = uniform(0.0f, 1.0f);
            s.moveStrength = uniform(0.2f, 3.0f);
        }
        s.useVCMask = chance(0.7);
        s.gravityEnabled = chance(0.3);
        s.pressureEnabled = chance(0.3);
        s.groundCollision = chance(0.3);
        s.directionalExpand = chance(0.3);
        cloth.settings = s;
    }

    // Mostly over the mesh (a vertex's pixel, jittered), sometimes anywhere or far outside.
    IPoint2 randomPoint() {
        ViewExp& v = ip->GetActiveViewExp();
        if (!cloth.mesh->verts.empty() && chance(0.8)) {
            const Point3& p = cloth.mesh->verts[static_cast<size_t>(pick(0, cloth.mesh->getNumVerts() - 1))];
            float sx = 0.0f, sy = 0.0f;
            if (v.MapWorldToScreen(p, sx, sy) && std::fabs(sx) < 1e5f && std::fabs(sy) < 1e5f) {
                return {static_cast<int>(sx) + pick(-8, 8), static_cast<int>(sy) + pick(-8, 8)};
            }
        }
        if (chance(0.2)) return {pick(-100000, 100000), pick(-100000, 100000)};
        return {pick(0, v.width - 1), pick(0, v.height - 1)};
    }

    IPoint2 nextDrag() {
        if (chance(0.05)) return randomPoint();
        if (chance(0.05)) return lastPoint;  // no motion
        return {lastPoint.x + pick(-30, 30), lastPoint.y + pick(-30, 30)};
    }

    // Shift, Ctrl and Alt at random, sometimes with unrelated bits set as well.
    int randomFlags() {
        int f = pick(0, 7);
        if (chance(0.1)) f |= 1 << pick(3, 12);  // bits the mode choice must ignore
        return f;
    }

    void beginStroke() {
        // A press after a lost release closes that stroke first, as its own entry.
        const bool lostRelease = cloth.strokeOpen;
        const Restorable atPress = Restorable::of(cloth);
        lastPoint = randomPoint();
        press(lastPoint);
        if (lostRelease) commit(atPress);
        ASSERT_TRUE(cloth.strokeOpen);
    }

    void endStroke() {
        release(lastPoint);
        commit(Restorable::of(cloth));
    }

    // The stroke just closed is a new history entry after the current one; it drops the redo list.
    void commit(Restorable state) {
        history.resize(static_cast<size_t>(current) + 1);
        if (!sameRestorable(history.back(), state)) ++changingStrokes;
        history.push_back(std::move(state));
        ++current;
        EXPECT_EQ(theHold.UndoCount(), current);
        EXPECT_EQ(theHold.RedoCount(), 0);
    }

    void undoOrRedo(bool undo) {
        const Restorable before = Restorable::of(cloth);
        const bool can = !cloth.strokeOpen && (undo ? current > 0 : current + 1 < static_cast<int>(history.size()));
        const bool did = undo ? theHold.Undo() : theHold.Redo();
        ASSERT_EQ(did, can) << (undo ? "undo" : "redo") << " with " << current << " of " << history.size() - 1
                            << " strokes done, stroke open: " << cloth.strokeOpen;
        if (!did) {
            EXPECT_TRUE(sameRestorable(before, Restorable::of(cloth))) << "a refused undo or redo changed the cloth";
            return;
        }
        current += undo ? -1 : 1;
        EXPECT_TRUE(sameRestorable(history[static_cast<size_t>(current)], Restorable::of(cloth)));
        EXPECT_TRUE(allZero(cloth.velocities));
        EXPECT_TRUE(allZero(cloth.deltas));
        EXPECT_TRUE(coloursShowMask(cloth));
    }

    void step() {
        const int r = pick(0, 99);
        if (cloth.strokeOpen) {
            if (r < 75) {
                if (chance(0.1)) randomSettings();  // settings may change under a running stroke
                const int flags = randomFlags();
                lastPoint = nextDrag();
                lastAction = "drag flags " + std::to_string(flags) + " to " + std::to_string(lastPoint.x) + "," +
                             std::to_string(lastPoint.y) + " iterations " + std::to_string(cloth.settings.iterations);
                drag(lastPoint, flags);
            } else if (r < 90) {
                lastAction = "release";
                endStroke();
            } else if (r < 95) {
                lastAction = "press without release";
                beginStroke();
            } else {
                lastAction = r < 98 ? "undo during a stroke" : "redo during a stroke";
                undoOrRedo(r < 98);
            }
            return;
        }
        if (r < 35) {
            randomSettings();
            lastAction = "press";
            beginStroke();
        } else if (r < 60) {
            lastAction = "undo";
            undoOrRedo(true);
        } else if (r < 80) {
            lastAction = "redo";
            undoOrRedo(false);
        } else {
            lastAction = "free move";
            freeMove(randomPoint());
        }
    }

    void checkSound() {
        ASSERT_TRUE(clothIsFinite(cloth));
        ASSERT_TRUE(Counts::of(cloth) == counts) << "an event changed the size of an array";
        ASSERT_TRUE(std::isfinite(cloth.brushRadius)) << "brush radius " << cloth.brushRadius;
    }

public:
    int changingStrokes = 0;  // strokes that changed positions, rest values or the mask

private:
    std::mt19937 rng;
    int maxIterations = 20;
    Counts counts;
    std::vector<Restorable> history;  // state after each stroke; [0] is the state at mode entry
    int current = 0;                  // index in `history` of the state the cloth is in
    IPoint2 lastPoint{0, 0};
    std::string lastAction = "build";
};

}  // namespace reliability
