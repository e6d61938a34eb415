#include "engine/BoxShapes.h"

#include <algorithm>
#include <cmath>

#include "engine/DosGraphics.h"

namespace quernel {

namespace {

constexpr std::uint8_t kSolid = 255;

int Px(double v) {
    return static_cast<int>(std::floor(v + 1e-6));
}

// One axis of the cell: its extent [lo, hi) and where the band of three strokes side by side
// starts (two strokes of a double line and a single line between them, each t thick).
struct TAxis {
    int lo = 0;
    int hi = 0;
    int band = 0;
};

// The strokes that run along one axis of a box-drawing character: `before` and `after` are its
// arms at the axis's two ends, `sideA` and `sideB` those across it (before the band and after
// it). `emit` gets each stroke as [from, to) along the axis and [at, at + t) across it. The
// arms across decide where a stroke that ends inside the cell stops, so that corners, tees
// and crossings of single and double lines join as the code page draws them.
template <typename Emit>
void Strokes(TArm before, TArm after, TArm sideA, TArm sideB, const TAxis& along,
             const TAxis& across, int t, Emit emit) {
    if (before == TArm::kNone && after == TArm::kNone) return;
    const bool crossDouble = sideA == TArm::kDouble || sideB == TArm::kDouble;
    const bool crossThrough = sideA == TArm::kDouble && sideB == TArm::kDouble;
    const int c = along.band;
    const bool hasBefore = before != TArm::kNone;
    const bool hasAfter = after != TArm::kNone;
    if (before != TArm::kDouble && after != TArm::kDouble) {
        // A single line through the middle; ending inside, it reaches the near stroke of a
        // double line running through, the far one of a double corner, or the single line.
        const int from = hasBefore ? along.lo : crossThrough ? c + 2 * t : crossDouble ? c : c + t;
        const int to = hasAfter       ? along.hi
                       : crossThrough ? c + t
                       : crossDouble  ? c + 3 * t
                                      : c + 2 * t;
        emit(from, to, across.band + t);
        return;
    }
    // A double line: a stroke on each side of the middle. The stroke on the side of a double
    // arm across stops at that arm's near stroke (inside the corner); the other one goes on to
    // its far stroke (round the corner).
    for (const auto& [at, side] : {std::pair{across.band, sideA}, {across.band + 2 * t, sideB}}) {
        if (hasBefore && hasAfter) {
            if (side == TArm::kDouble) {
                emit(along.lo, c + t, at);
                emit(c + 2 * t, along.hi, at);
            } else {
                emit(along.lo, along.hi, at);
            }
        } else if (hasAfter) {
            emit(crossDouble ? (side == TArm::kDouble ? c + 2 * t : c) : c + t, along.hi, at);
        } else {
            emit(along.lo, crossDouble ? (side == TArm::kDouble ? c + t : c + 3 * t) : c + 2 * t,
                 at);
        }
    }
}

}  // namespace

void AppendShape(std::uint8_t cp437, const TShapeCell& cell, std::vector<TShapeRect>& out) {
    if (!IsShapeByte(cp437) || cell.height <= 0 || cell.width <= 0) return;
    const int lo = Px(cell.along);
    const int hi = std::max(lo + 1, Px(cell.along + std::max(cell.step, cell.width)));
    const int reach = std::max(cell.height, cell.reach);
    const double middleAlong = cell.along + cell.width / 2;
    const double middleAcross = cell.height / 2.0;
    const auto fill = [&](int along0, int along1, int across0, int across1, std::uint8_t ink) {
        if (along1 > along0 && across1 > across0) {
            out.push_back({along0, across0, along1, across1, ink});
        }
    };

    switch (cp437) {
        case 0xB0:  // ░ ▒ ▓: a quarter, half and three quarters of ink
        case 0xB1:
        case 0xB2:
            fill(lo, hi, 0, reach, static_cast<std::uint8_t>(64 * (cp437 - 0xB0 + 1)));
            return;
        case 0xDB:  // █
            fill(lo, hi, 0, reach, kSolid);
            return;
        case 0xDC:  // ▄
            fill(lo, hi, Px(middleAcross), reach, kSolid);
            return;
        case 0xDF:  // ▀
            fill(lo, hi, 0, Px(middleAcross), kSolid);
            return;
        case 0xDD:  // ▌
            fill(lo, Px(middleAlong), 0, reach, kSolid);
            return;
        case 0xDE:  // ▐
            fill(Px(middleAlong), hi, 0, reach, kSolid);
            return;
        case 0xFE: {  // ■, a square in the middle of the cell
            const double side = std::min(cell.width * 0.75, cell.height * 0.44);
            const int a = Px(middleAlong - side / 2);
            const int b = Px(middleAcross - side / 2);
            const int s = std::max(1, Px(side));
            fill(a, a + s, b, b + s, kSolid);
            return;
        }
        default:
            break;
    }

    // Box drawing: lines cell.stroke thick, three of them fitting the cell side by side.
    const int t = std::max(1, std::min({cell.stroke, Px(cell.width / 4), cell.height / 4}));
    const TAxis x{lo, hi, Px(middleAlong - 1.5 * t)};
    const TAxis y{0, reach, Px(middleAcross - 1.5 * t)};
    const TBoxArms arms = BoxArms(cp437);
    Strokes(arms.left, arms.right, arms.up, arms.down, x, y, t,
            [&](int from, int to, int at) { fill(from, to, at, at + t, kSolid); });
    Strokes(arms.up, arms.down, arms.left, arms.right, y, x, t,
            [&](int from, int to, int at) { fill(at, at + t, from, to, kSolid); });
}

}  // namespace quernel
