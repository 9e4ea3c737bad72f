#pragma once
// The rows a list has deleted since its query ran, by their place in it.
#include <cstddef>
#include <vector>

namespace db {

// Counts deleted rows below an index, and finds the k-th live row, in O(log n). Nothing is
// allocated before the first deletion: most lists never have one.
class DeadTree {
public:
    void Reset(size_t n) {
        size_ = n;
        t_.clear();
        total_ = 0;
    }
    void PushBack() {
        ++size_;
        if (t_.empty()) return;
        const size_t i = size_; // 1-based index of the new node
        const size_t low = i & (~i + 1);
        t_.push_back(Prefix(i - 1) - Prefix(i - low));
    }
    void Mark(size_t index) {
        if (t_.empty()) t_.assign(size_ + 1, 0);
        for (size_t i = index + 1; i < t_.size(); i += i & (~i + 1)) ++t_[i];
        ++total_;
    }
    size_t Prefix(size_t count) const { // deleted among indexes [0, count)
        if (total_ == 0) return 0;
        size_t s = 0;
        for (size_t i = count; i > 0; i -= i & (~i + 1)) s += t_[i];
        return s;
    }
    size_t total() const { return total_; }
    size_t size() const { return size_; }
    size_t FindLive(size_t k) const { // index of the live row with rank k
        if (total_ == 0) return k;
        size_t pos = 0, step = 1;
        while (step * 2 <= size()) step *= 2;
        for (; step; step /= 2) {
            if (pos + step <= size()) {
                const size_t live = step - t_[pos + step];
                if (live <= k) {
                    pos += step;
                    k -= live;
                }
            }
        }
        return pos;
    }

private:
    std::vector<size_t> t_; // 1-based; empty while nothing is deleted
    size_t size_ = 0;
    size_t total_ = 0;
};

} // namespace db
