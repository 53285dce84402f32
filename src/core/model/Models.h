#pragma once

// The persistent types of the store, in schema order, and the two text-backed enumerations.

#include "core/store/ModelContext.h"

#include "core/model/Project.h"
#include "core/model/Doc.h"
#include "core/model/DocBlock.h"
#include "core/model/Checklist.h"
#include "core/model/ChecklistColumn.h"
#include "core/model/ChecklistCard.h"
#include "core/model/ChecklistAttachment.h"
#include "core/model/ChecklistItem.h"
