#include "kernels/kernel_store.h"

namespace asmpic {

namespace {

void Fill(KernelStore& store, KernelEntry rotate, KernelEntry palette, KernelEntry pixel, KernelEntry colorX,
          KernelEntry magnify) {
  store.rotate = rotate;
  store.palette = palette;
  store.pixel = pixel;
  store.colorX = colorX;
  store.magnify = magnify;
}

}  // namespace

KernelStore::KernelStore() : KernelStore(CurrentKernelChoice()) {}

KernelStore::KernelStore(KernelChoice choice) {
  switch (choice) {
    case KernelChoice::kReference:
      Fill(*this, RotateKernelReference, PaletteKernelReference, PixelKernelReference, ColorXKernelReference,
           MagnifyKernelReference);
      return;
    case KernelChoice::kBaseline:
      Fill(*this, RotateKernelBaseline, PaletteKernelBaseline, PixelKernelBaseline, ColorXKernelBaseline,
           MagnifyKernelBaseline);
      return;
    case KernelChoice::kBest:
      Fill(*this, RotateKernelBest, PaletteKernelBest, PixelKernelBest, ColorXKernelBest, MagnifyKernelBest);
      return;
  }
  Fill(*this, RotateKernelBaseline, PaletteKernelBaseline, PixelKernelBaseline, ColorXKernelBaseline,
       MagnifyKernelBaseline);
}

}  // namespace asmpic
