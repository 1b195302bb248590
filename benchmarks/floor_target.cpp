#include "floor_target.h"

namespace {

class table_target final : public floor_target {
public:
    std::int32_t store(const revertiveRecord* record) override
    {
        // The same bounds check a tally store makes: the floor is a safe store.
        const std::int32_t index = record->index;
        if (index >= 0 && index < entries)
            table_[index] = record->state;
        return 0;
    }

    std::int32_t at(std::int32_t index) const override { return index >= 0 && index < entries ? table_[index] : -1; }

private:
    static constexpr std::int32_t entries = 201;
    std::int32_t table_[entries] = {};
};

}  // namespace

floor_target* makeFloorTarget() { return new table_target(); }
