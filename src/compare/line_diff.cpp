#include "compare/line_diff.h"

#include <algorithm>
#include <limits>

namespace orv {

namespace {

// Searches for the common lines of a[xoff, xlim) and b[yoff, ylim) by dividing each range at the
// middle of a shortest edit path (the "middle snake"), from both ends at once, keeping only one
// furthest-reaching row per diagonal. Diagonal k holds the points with x - y == k.
class Search {
public:
    Search(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, std::vector<char>& ca,
           std::vector<char>& cb)
        : a_(a), b_(b), changedA_(ca), changedB_(cb) {
        const int64_t n = static_cast<int64_t>(a.size());
        const int64_t m = static_cast<int64_t>(b.size());
        offset_ = m + 1;
        fd_.assign(static_cast<size_t>(n + m + 3), 0);
        bd_.assign(static_cast<size_t>(n + m + 3), 0);
        // About the square root of the lengths, and never small: real texts stay exact.
        int64_t limit = 1;
        for (int64_t diags = n + m + 3; diags != 0; diags >>= 2)
            limit <<= 1;
        tooExpensive_ = std::max<int64_t>(1024, limit);
    }

    void Run() {
        struct Range {
            int64_t xoff, xlim, yoff, ylim;
        };
        std::vector<Range> pending{
            {0, static_cast<int64_t>(a_.size()), 0, static_cast<int64_t>(b_.size())}};
        while (!pending.empty()) {
            Range r = pending.back();
            pending.pop_back();
            // Equal lines at both ends are common.
            while (r.xoff < r.xlim && r.yoff < r.ylim && A(r.xoff) == B(r.yoff)) {
                ++r.xoff;
                ++r.yoff;
            }
            while (r.xlim > r.xoff && r.ylim > r.yoff && A(r.xlim - 1) == B(r.ylim - 1)) {
                --r.xlim;
                --r.ylim;
            }
            if (r.xoff == r.xlim || r.yoff == r.ylim) {
                for (int64_t y = r.yoff; y < r.ylim; ++y)
                    changedB_[static_cast<size_t>(y)] = 1;
                for (int64_t x = r.xoff; x < r.xlim; ++x)
                    changedA_[static_cast<size_t>(x)] = 1;
                continue;
            }
            int64_t xmid = 0, ymid = 0;
            if (!Split(r.xoff, r.xlim, r.yoff, r.ylim, xmid, ymid)) {
                // No point strictly inside to divide at: leave the range out as a whole.
                for (int64_t x = r.xoff; x < r.xlim; ++x)
                    changedA_[static_cast<size_t>(x)] = 1;
                for (int64_t y = r.yoff; y < r.ylim; ++y)
                    changedB_[static_cast<size_t>(y)] = 1;
                continue;
            }
            // The later half is pushed first, so the earlier one is settled first.
            pending.push_back({xmid, r.xlim, ymid, r.ylim});
            pending.push_back({r.xoff, xmid, r.yoff, ymid});
        }
    }

private:
    uint32_t A(int64_t i) const { return a_[static_cast<size_t>(i)]; }
    uint32_t B(int64_t i) const { return b_[static_cast<size_t>(i)]; }
    int64_t& F(int64_t d) { return fd_[static_cast<size_t>(d + offset_)]; }
    int64_t& R(int64_t d) { return bd_[static_cast<size_t>(d + offset_)]; }

    // A point (xmid, ymid) on a shortest path through the range, strictly between its corners.
    // The range has no equal lines at either end and no empty side. False when no such point
    // was found.
    bool Split(int64_t xoff, int64_t xlim, int64_t yoff, int64_t ylim, int64_t& xmid,
               int64_t& ymid) {
        const int64_t dmin = xoff - ylim, dmax = xlim - yoff;
        const int64_t fmid = xoff - yoff, bmid = xlim - ylim;
        const bool odd = ((fmid - bmid) & 1) != 0;
        constexpr int64_t kNone = -1;
        constexpr int64_t kFar = std::numeric_limits<int64_t>::max();
        int64_t fmin = fmid, fmax = fmid, bmin = bmid, bmax = bmid;
        F(fmid) = xoff;
        R(bmid) = xlim;
        for (int64_t c = 1;; ++c) {
            // One more step forward: widen the band of diagonals while it stays in the range.
            if (fmin > dmin)
                F(--fmin - 1) = kNone;
            else
                ++fmin;
            if (fmax < dmax)
                F(++fmax + 1) = kNone;
            else
                --fmax;
            for (int64_t d = fmax; d >= fmin; d -= 2) {
                const int64_t lo = F(d - 1), hi = F(d + 1);
                int64_t x = lo >= hi ? lo + 1 : hi;
                int64_t y = x - d;
                while (x < xlim && y < ylim && A(x) == B(y)) {
                    ++x;
                    ++y;
                }
                F(d) = x;
                if (odd && bmin <= d && d <= bmax && R(d) <= x) {
                    xmid = x;
                    ymid = y;
                    return Inside(xoff, xlim, yoff, ylim, xmid, ymid);
                }
            }
            // And one step back from the far corner.
            if (bmin > dmin)
                R(--bmin - 1) = kFar;
            else
                ++bmin;
            if (bmax < dmax)
                R(++bmax + 1) = kFar;
            else
                --bmax;
            for (int64_t d = bmax; d >= bmin; d -= 2) {
                const int64_t lo = R(d - 1), hi = R(d + 1);
                int64_t x = lo < hi ? lo : hi - 1;
                int64_t y = x - d;
                while (x > xoff && y > yoff && A(x - 1) == B(y - 1)) {
                    --x;
                    --y;
                }
                R(d) = x;
                if (!odd && fmin <= d && d <= fmax && x <= F(d)) {
                    xmid = x;
                    ymid = y;
                    return Inside(xoff, xlim, yoff, ylim, xmid, ymid);
                }
            }
            if (c >= tooExpensive_)
                return Cheapest(xoff, xlim, yoff, ylim, fmin, fmax, bmin, bmax, xmid, ymid);
        }
    }

    // The search has run too long: divide at whichever frontier point, forward or backward, has
    // come furthest from its own corner. Both halves are then searched again.
    bool Cheapest(int64_t xoff, int64_t xlim, int64_t yoff, int64_t ylim, int64_t fmin,
                  int64_t fmax, int64_t bmin, int64_t bmax, int64_t& xmid, int64_t& ymid) {
        int64_t fxbest = xoff, fxybest = -1;
        for (int64_t d = fmax; d >= fmin; d -= 2) {
            int64_t x = std::min(F(d), xlim);
            int64_t y = x - d;
            if (y > ylim) {
                x = ylim + d;
                y = ylim;
            }
            if (x + y > fxybest) {
                fxybest = x + y;
                fxbest = x;
            }
        }
        int64_t bxbest = xlim, bxybest = std::numeric_limits<int64_t>::max();
        for (int64_t d = bmax; d >= bmin; d -= 2) {
            int64_t x = std::max(xoff, R(d));
            int64_t y = x - d;
            if (y < yoff) {
                x = yoff + d;
                y = yoff;
            }
            if (x + y < bxybest) {
                bxybest = x + y;
                bxbest = x;
            }
        }
        if ((xlim + ylim) - bxybest < fxybest - (xoff + yoff)) {
            xmid = fxbest;
            ymid = fxybest - fxbest;
        } else {
            xmid = bxbest;
            ymid = bxybest - bxbest;
        }
        return Inside(xoff, xlim, yoff, ylim, xmid, ymid);
    }

    static bool Inside(int64_t xoff, int64_t xlim, int64_t yoff, int64_t ylim, int64_t x,
                       int64_t y) {
        return x >= xoff && x <= xlim && y >= yoff && y <= ylim && x + y > xoff + yoff &&
               x + y < xlim + ylim;
    }

    const std::vector<uint32_t>& a_;
    const std::vector<uint32_t>& b_;
    std::vector<char>& changedA_;
    std::vector<char>& changedB_;
    std::vector<int64_t> fd_, bd_;
    int64_t offset_ = 0;
    int64_t tooExpensive_ = 0;
};

} // namespace

LineDiff DiffLines(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    LineDiff result;
    result.changedA.assign(a.size(), 0);
    result.changedB.assign(b.size(), 0);

    // A line with no equal at all on the other side is left out before the search: it cannot be
    // common, and texts that differ in many such lines then cost no search at all.
    uint32_t top = 0;
    for (uint32_t v : a)
        top = std::max(top, v);
    for (uint32_t v : b)
        top = std::max(top, v);
    std::vector<char> inA(static_cast<size_t>(top) + 1, 0), inB(static_cast<size_t>(top) + 1, 0);
    for (uint32_t v : a)
        inA[v] = 1;
    for (uint32_t v : b)
        inB[v] = 1;
    std::vector<uint32_t> ra, rb;
    std::vector<size_t> fromA, fromB;
    for (size_t i = 0; i < a.size(); ++i) {
        if (inB[a[i]]) {
            ra.push_back(a[i]);
            fromA.push_back(i);
        } else {
            result.changedA[i] = 1;
        }
    }
    for (size_t i = 0; i < b.size(); ++i) {
        if (inA[b[i]]) {
            rb.push_back(b[i]);
            fromB.push_back(i);
        } else {
            result.changedB[i] = 1;
        }
    }

    std::vector<char> ca(ra.size(), 0), cb(rb.size(), 0);
    if (!ra.empty() || !rb.empty()) {
        Search search(ra, rb, ca, cb);
        search.Run();
    }
    for (size_t i = 0; i < ra.size(); ++i)
        if (ca[i])
            result.changedA[fromA[i]] = 1;
    for (size_t i = 0; i < rb.size(); ++i)
        if (cb[i])
            result.changedB[fromB[i]] = 1;
    return result;
}

} // namespace orv
