// Closes a run of shared records opened by host/record_packing_begin.h and restores the
// including code's packing. (No include guard: each run of records includes it once.)
#pragma pack(pop)
