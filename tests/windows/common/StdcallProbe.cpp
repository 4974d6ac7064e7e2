#include "StdcallProbe.h"

#include <cstddef>

static_assert(sizeof(void *) == 4, "the stdcall probe is for 32-bit x86 programs");

namespace {

// Read and filled by the assembly below; its offsets are fixed there. The
// register fields carry the sentinels in and the values found after the call
// out.
struct ProbeRecord {
  uint32_t eax;
  uint32_t edx;
  uint32_t espBefore;
  uint32_t espAfter;
  uint32_t ebx;
  uint32_t esi;
  uint32_t edi;
};
static_assert(offsetof(ProbeRecord, espBefore) == 8 && offsetof(ProbeRecord, edi) == 24);

// What EBX, ESI and EDI hold when the callee is entered; a callee that uses
// one of them without saving it is very unlikely to put the value back.
constexpr uint32_t kEbxSentinel = 0xB0B0B0B0;
constexpr uint32_t kEsiSentinel = 0x51515151;
constexpr uint32_t kEdiSentinel = 0xD1D1D1D1;

} // namespace

// cdecl: (function, slots, count, record).
extern "C" void posStdcallProbe(const void *function, const uint32_t *slots, uint32_t count,
                                ProbeRecord *record) asm("pos_stdcall_probe");

asm(R"(
  .text
  .p2align 4
pos_stdcall_probe:
  pushl %ebp
  movl %esp, %ebp
  pushl %ebx
  pushl %esi
  pushl %edi
  movl 16(%ebp), %ecx          # count
  # Leave room so that ESP is a multiple of 16 once the slots are pushed.
  leal 0(,%ecx,4), %eax
  movl %esp, %edx
  subl %eax, %edx
  andl $-16, %edx
  addl %eax, %edx
  movl %edx, %esp
  movl 20(%ebp), %eax          # record
  movl %esp, 8(%eax)           # espBefore
  movl 12(%ebp), %edx          # slots, pushed last to first
1:
  testl %ecx, %ecx
  jz 2f
  decl %ecx
  pushl (%edx,%ecx,4)
  jmp 1b
2:
  movl 20(%ebp), %ecx          # record
  movl 16(%ecx), %ebx          # sentinels
  movl 20(%ecx), %esi
  movl 24(%ecx), %edi
  movl 8(%ebp), %eax           # function
  call *%eax
  movl 20(%ebp), %ecx          # record
  movl %eax, 0(%ecx)
  movl %edx, 4(%ecx)
  movl %esp, 12(%ecx)          # espAfter
  movl %ebx, 16(%ecx)
  movl %esi, 20(%ecx)
  movl %edi, 24(%ecx)
  leal -12(%ebp), %esp         # own frame back, whatever the callee removed
  popl %edi
  popl %esi
  popl %ebx
  popl %ebp
  ret
)");

namespace pos::test {

StdcallOutcome callStdcall(const void *function, std::span<const uint32_t> slots) {
  ProbeRecord record{};
  record.ebx = kEbxSentinel;
  record.esi = kEsiSentinel;
  record.edi = kEdiSentinel;
  posStdcallProbe(function, slots.data(), static_cast<uint32_t>(slots.size()), &record);
  StdcallOutcome outcome;
  outcome.eax = record.eax;
  outcome.edx = record.edx;
  outcome.stackDelta = static_cast<int32_t>(record.espAfter - record.espBefore);
  outcome.calleeSavedKept =
      record.ebx == kEbxSentinel && record.esi == kEsiSentinel && record.edi == kEdiSentinel;
  return outcome;
}

StdcallOutcome callStdcall(const void *function, std::initializer_list<uint32_t> slots) {
  return callStdcall(function, std::span<const uint32_t>(slots.begin(), slots.size()));
}

} // namespace pos::test
