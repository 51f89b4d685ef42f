#pragma once

#include "db/tcsbuffers.h"
#include "db/tcscustomsqldriver.h"

namespace lystra {

// A driver's idle server connections, oldest first. The pool owns what it
// holds only in the sense that its driver frees what is left in it.
class TcsConnectionPool : public TcsThreadList<TcsConnection> {};

} // namespace lystra
