#include "kernels/kernel_store.h"

namespace asmpic {

KernelStore KernelStore::Reference() {
  return {RotateKernelReference, PaletteKernelReference, PixelKernelReference, ColorXKernelReference,
          MagnifyKernelReference};
}

}  // namespace asmpic
