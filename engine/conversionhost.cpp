#include "bmp24to8/engine.h"

#include "rounding.h"

#include <utility>

namespace bmp24to8 {

std::string_view StepName(Step step)
{
    switch (step) {
    case Step::Reading:
        return "reading";
    case Step::Reordering:
        return "reordering";
    case Step::Packing:
        return "packing";
    }
    return {};
}

std::string ProgressText(const Progress &progress)
{
    switch (progress.step) {
    case Step::Reading:
        return PercentText(progress.percent);
    case Step::Reordering:
        return "Compatibility";
    case Step::Packing:
        return PercentText(progress.percent) + " 4-bit";
    }
    return {};
}

std::optional<PalettePlacement> PlacementNamed(std::string_view name)
{
    static constexpr std::pair<std::string_view, PalettePlacement> kNames[] = {
        {"none", PalettePlacement::None}, {"dos", PalettePlacement::Dos}, {"boot", PalettePlacement::BootScreen}};
    for (const auto &[known, placement] : kNames)
        if (known == name)
            return placement;
    return std::nullopt;
}

} // namespace bmp24to8
