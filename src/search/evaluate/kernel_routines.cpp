// The processor check, and the choice between the kernel's plain and vector
// routines that follows from it, made once per process.
#include "search/evaluate/fast_kernel.h"

namespace dorvu {

namespace {

bool CpuHasVectorUnits() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }

}  // namespace

const KernelRoutines kPlainRoutines{SqrtTrialValues, EnergyEstimates};
const KernelRoutines kVectorRoutines{SqrtTrialValuesVector, EnergyEstimatesVector};

bool VectorUnitsAvailable() {
  // The vector forms stand in for the 80-bit format; where long double
  // arithmetic is something else (an emulator that computes it in double
  // precision), the plain forms alone give what the plain passes give.
  static const bool available = ExtendedArithmeticIsFaithful() && CpuHasVectorUnits();
  return available;
}

const KernelRoutines& ChooseKernelRoutines() { return VectorUnitsAvailable() ? kVectorRoutines : kPlainRoutines; }

}  // namespace dorvu
