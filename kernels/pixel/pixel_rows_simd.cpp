// The neighbourhood effects' rows for every target this build compiles (pixel_rows-inl.h), and the
// entries that dispatch to the best one the processor offers.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/pixel/pixel_rows_simd.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "kernels/pixel/pixel_rows-inl.h"

#if HWY_ONCE
namespace asmpic::pixel_rows {

HWY_EXPORT(SmoothingRow);
HWY_EXPORT(ContourRow);
HWY_EXPORT(EmbossRow);
HWY_EXPORT(ReliefRow);
HWY_EXPORT(CopyColourRow);

void SmoothingRowBest(const RowSet& rows, std::int32_t amount) {
  HWY_DYNAMIC_DISPATCH(SmoothingRow)(rows, amount);
}
void ContourRowBest(const RowSet& rows, const int* colour) {
  HWY_DYNAMIC_DISPATCH(ContourRow)(rows, colour);
}
void EmbossRowBest(const RowSet& rows, const int* colour) {
  HWY_DYNAMIC_DISPATCH(EmbossRow)(rows, colour);
}
void ReliefRowBest(const RowSet& rows, const int* colour) {
  HWY_DYNAMIC_DISPATCH(ReliefRow)(rows, colour);
}
void CopyColourRowBest(const std::uint8_t* from, std::uint8_t* out, std::int64_t width) {
  HWY_DYNAMIC_DISPATCH(CopyColourRow)(from, out, width);
}

}  // namespace asmpic::pixel_rows
#endif
