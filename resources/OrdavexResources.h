#pragma once

// Registers the compiled resource tree (":/image/..."). The resources live in
// a static library, whose registration code the linker would otherwise drop;
// call this before the first resource is read. Safe to call more than once.
void initOrdavexResources();
