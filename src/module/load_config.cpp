// The image's load configuration and Control Flow Guard's two call pointers,
// which mingw-w64's runtime does not supply. Only the shipped DLL (clang with
// -mguard=cf, linked by lld with --guard-cf) carries this file; lld defines the
// __guard_* symbols it names and warns when a field does not refer to them.
//
// The Windows loader finds the structure through the PE header's load
// configuration directory and reads Size bytes of it (the x64
// IMAGE_LOAD_CONFIG_DIRECTORY64 of the Windows 11 SDK). In a process that runs
// with CFG, as Explorer does, it marks in the process's CFG bitmap only the
// functions of the guard table as valid indirect-call targets in this image
// (lld lists the functions whose address is taken, the exports, and every
// function of the objects built without guard data: the runtime's), and
// points the two call pointers at ntdll's checking routines. Every indirect
// call compiled here goes through the dispatch pointer and is checked; an
// indirect call from anywhere in the process into this image anywhere but at
// a listed function ends the process. Without CFG (or before Windows 8.1) the
// pointers keep the defaults below.
// The CET shadow-stack flag is no field here: lld's -cetcompat writes it into
// the extended DLL characteristics of the debug directory.

// The defaults of the two pointers: the check does nothing; the dispatch,
// reached by `call *__guard_dispatch_icall_fptr` with the target in rax, jumps
// there. Both are labels, not C++ functions, so that neither is an
// indirect-call target itself. The pointers live in a read-only section of
// their own, as in Microsoft's runtime: the loader makes the page writable only
// while it sets them, so no stray write in the process can redirect every
// indirect call.
asm(R"(
    .text
    .p2align 4
GuardCheckNothing:
    ret
    .p2align 4
GuardDispatchUnchecked:
    jmp *%rax

    .section .00cfg,"dr"
    .p2align 3
    .globl __guard_check_icall_fptr
__guard_check_icall_fptr:
    .quad GuardCheckNothing            # x64 code checks through the dispatch pointer; this one is for
                                       # code compiled for the check-then-call scheme
    .globl __guard_dispatch_icall_fptr
__guard_dispatch_icall_fptr:
    .quad GuardDispatchUnchecked

    .section .rdata,"dr"
    .p2align 3
    .globl _load_config_used
_load_config_used:
    .long 0x140                        # Size: the structure up to GuardMemcpyFunctionPointer
    .long 0                            # TimeDateStamp
    .short 0, 0                        # MajorVersion, MinorVersion
    .long 0, 0                         # GlobalFlagsClear, GlobalFlagsSet: the process's NtGlobalFlag stays
    .long 0                            # CriticalSectionDefaultTimeout: the process's
    .quad 0, 0                         # DeCommitFreeBlockThreshold, DeCommitTotalFreeThreshold: heap defaults
    .quad 0                            # LockPrefixTable: x86 uniprocessor patching, unused
    .quad 0, 0                         # MaximumAllocationSize, VirtualMemoryThreshold: heap defaults
    .quad 0                            # ProcessAffinityMask: only an executable's counts
    .long 0                            # ProcessHeapFlags: only an executable's counts
    .short 0                           # CSDVersion
    .short 0                           # DependentLoadFlags: the imports load from the usual places
    .quad 0                            # EditList
    .quad 0                            # SecurityCookie: none, the DLL is not built with /GS
    .quad 0, 0                         # SEHandlerTable, SEHandlerCount: SafeSEH is x86 only
    .quad __guard_check_icall_fptr     # GuardCFCheckFunctionPointer: the loader sets it to its check
    .quad __guard_dispatch_icall_fptr  # GuardCFDispatchFunctionPointer: the loader sets it to check-and-jump
    .quad __guard_fids_table           # GuardCFFunctionTable: the valid indirect-call targets, sorted RVAs
    .quad __guard_fids_count           # GuardCFFunctionCount
    .long __guard_flags                # GuardFlags: instrumented, with a function table (and its entry size)
    .short 0, 0                        # CodeIntegrity.Flags, .Catalog: no catalog
    .long 0, 0                         # CodeIntegrity.CatalogOffset, .Reserved
    .quad __guard_iat_table            # GuardAddressTakenIatEntryTable: imports whose address is taken
    .quad __guard_iat_count            # GuardAddressTakenIatEntryCount
    .quad __guard_longjmp_table        # GuardLongJumpTargetTable: valid longjmp targets (no setjmp here)
    .quad __guard_longjmp_count        # GuardLongJumpTargetCount
    .quad 0                            # DynamicValueRelocTable: none
    .quad 0                            # CHPEMetadataPointer: not an ARM64 hybrid image
    .quad 0, 0                         # GuardRFFailureRoutine, GuardRFFailureRoutineFunctionPointer: no RFG
    .long 0                            # DynamicValueRelocTableOffset
    .short 0, 0                        # DynamicValueRelocTableSection, Reserved2
    .quad 0                            # GuardRFVerifyStackPointerFunctionPointer: no RFG
    .long 0, 0                         # HotPatchTableOffset, Reserved3: no hot patching
    .quad 0                            # EnclaveConfigurationPointer: no enclave
    .quad 0                            # VolatileMetadataPointer: x86/x64 memory model, unused
    .quad 0, 0                         # GuardEHContinuationTable, GuardEHContinuationCount: no exceptions
    .quad 0, 0, 0                      # GuardXFG{Check,Dispatch,TableDispatch}FunctionPointer: no XFG
    .quad 0                            # CastGuardOsDeterminedFailureMode
    .quad 0                            # GuardMemcpyFunctionPointer
)");
