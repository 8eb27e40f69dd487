// The subcommands of resdb-inspect over loaded inventories. Each writes its result to out and
// returns the process's exit status; a usage problem is described in *error (exit 2).
#ifndef RESDB_TOOLS_INSPECT_COMMANDS_H_
#define RESDB_TOOLS_INSPECT_COMMANDS_H_

#include <ostream>
#include <string>
#include <vector>

#include "inventory.h"

// Records by kind, reported and withdrawn; errors by severity; whether print would give a
// report and, if not, which errors refuse it.
int RunSummary(Inventory* inventory, std::ostream& out);

// One line per record named ("disk:disk-2"), or per withdrawn record when none is named.
int RunExplain(Inventory* inventory, const std::vector<std::string>& names, std::ostream& out,
               std::string* error);

// "share nfs-1 <- volume vol-data <- disk disk-2: Disk signature not generated (error 22,
// severity 2)": the chain that withdrew the record, from the inventory's trace.
std::string WithdrawalChain(Inventory* inventory, const RecordKey& key);

// The inventory as a Graphviz graph in the DOT language.
std::string GraphDot(Inventory* inventory);

// What changed from old_inventory to new_inventory, as text or (json) a JSON object. 0 when
// nothing did, else 1.
int RunDiff(Inventory* old_inventory, Inventory* new_inventory, bool json, std::ostream& out);

#endif  // RESDB_TOOLS_INSPECT_COMMANDS_H_
