#pragma once

#include "platform/FileRemoval.h"

// Deletes the marked files of a copy of the list and logs one line for each
// marked entry ("Deleted: " or, at Error, "Delete: Failed: "). Returns that
// copy with `deleted` set where the deletion succeeded.
FileList DeleteMarkedFiles(const FileList& fileList);
