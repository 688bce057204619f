#pragma once

// QUILLMONT_API, defined with the lowest module.
#include "quillmont/storage/export.h"
