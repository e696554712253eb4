// Opens a run of records that the host and the package share. Every such record has one
// packing: natural alignment (each field at a multiple of its own size), whatever packing the
// including code has set, so the host and the package agree on every offset. Closed by
// host/record_packing_end.h. The layouts are checked by static_asserts beside each record.
// (No include guard: each run of records includes it once.)
#pragma pack(push)
#pragma pack()
