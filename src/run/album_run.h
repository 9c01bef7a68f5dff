#pragma once
// One Create over a folder tree: every album (browse/album_tree.h) gets its own modern gallery
// in its folder, with breadcrumbs and its sub-albums' cards, under the one-folder rules.

#include "run/create_run.h"

namespace vistrel::run {

// Reads the tree under settings.thumbnails.folder and locks every album's folder (each waiting
// up to settings.lockWait, as one folder's run does), holding them all until the end, so a
// Create on any of them meanwhile waits and is refused. Then each album runs as one folder's
// Create does, deepest first so each parent's cards know their covers, each with every core of
// settings.thumbnails.workers and the one memory budget in turn. A folder left out of the tree,
// or that cannot be locked or written, is one problem (AlbumSkipped) and the rest goes on. The
// report sums the tree: files are named by their path below the top folder; thumbs, last and
// the first page opened are the top album's. Refused only as a whole for a bad prefix, or when
// the top folder itself is busy.
CreateReport runAlbums(const CreateSettings& settings, common::ProgressDisplay& progress,
                       Shell* shell);

}  // namespace vistrel::run
