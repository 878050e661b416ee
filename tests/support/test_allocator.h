// The module's allocation function as tests see it: counted, able to fail
// at the Nth call, and (in the hardened build) putting every block right in
// front of an inaccessible page so that one unit past it crashes the test.
#pragma once

namespace test_alloc {

// The nth allocation from now (1 = the next one) returns null; 0 turns it off.
void FailAt(long nth);
// Called (null: nothing) at the moment the failing allocation is made; it
// must not allocate through the module.
void OnFailure(void (*callback)());
long Allocations();   // made since the last Reset
long LiveBlocks();    // allocated and not yet freed, in all
void Reset();
bool GuardPages();    // true in the hardened build

}  // namespace test_alloc
