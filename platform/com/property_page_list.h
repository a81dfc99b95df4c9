// What an object's ISpecifyPropertyPages::GetPages answers, made once.
#pragma once

#include <span>

#include "platform/com/property_page.h"

// `classes` in a new task-memory array (none for an empty list). E_POINTER
// for a null `pages`, E_OUTOFMEMORY (with `pages` empty) when the array
// cannot be had.
HRESULT ListPropertyPages(std::span<const CLSID> classes, CAUUID* pages);
