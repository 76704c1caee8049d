// Where the cut pool meets the optimisers: the pool made when a problem is read, the
// cut-manager callbacks at the top node and at every node of the search (a round is
// repeated while the callback asks for it, the LP re-solved after each change), and
// the per-node list of pool cuts that a node's LP holds, restored when the node is
// taken up again.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;
struct NodeRecord;

// After a problem is read or loaded: ends the pool of the problem it replaces and
// makes a new one when IFCUTP is set.
void prepare_cut_pool(Library& lib);

// After the LP relaxation of KQMAXIM / KQMINIM (without the letter l): the
// initialisation callback the first time, then the top-node cut rounds. False when an
// LP failed (its error set).
bool top_node_cuts(Library& lib);

// At a node whose LP is optimal. False when an LP failed; the LP status tells how the
// rounds left the node.
bool node_cuts(Library& lib);

// Before a node's LP: its cut list becomes the LP's cut rows. The root of a fresh
// search starts the node lists afresh.
void restore_node_cuts(Library& lib, const NodeRecord& node);

// When a node is branched: the children that will be solved inherit the LP's cut
// rows and the entries attached with KQBRANCHCUT (bound entries as bound changes).
void branch_node_cuts(Library& lib, NodeRecord& down, bool down_kept, NodeRecord& up, bool up_kept);

// A stored node left the search without being solved.
void discard_node_cuts(Library& lib, std::int32_t node);

// The end of a search run.
void end_search_cuts(Library& lib);

}  // namespace kqopt
