// The member tables of the user guide, made from the classes a host
// registered, and the generated blocks of a guide page that hold them.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "standin/host/Host.h"

namespace standin {

// One Markdown table per family ("hash-maps", "ordered-maps", "hash-sets",
// "ordered-sets"): class, key and value type, case modes, iterator class and
// the hosts it appears on.  `olderHostClasses` holds the names registered on
// a host older than the one that gave `classes`.
std::map<std::string, std::string> GuideMemberTables(const std::vector<const ClassInfo*>& classes,
                                                     const std::set<std::string>& olderHostClasses);

// The class reference of the guide: "NAME.md" for every class the host
// registered (each declaration as registered, what it does, raises and costs
// as the family page in `pages` (by file name) says for the class its
// declaration table shows) and "README.md", the index of classes and members.
std::map<std::string, std::string> ReferencePages(Host& host,
                                                  const std::set<std::string>& olderHostClasses,
                                                  const std::map<std::string, std::string>& pages);

// The error reference block: for each family, what each member raises in
// each situation a host program can make, found by making the calls on every
// registered class of the family.
std::string ErrorReference(Host& host);

// The generated blocks of a page by name: the lines between
// "<!-- generated: NAME -->" and "<!-- end generated -->".
std::map<std::string, std::string> GeneratedBlocks(const std::string& page);

// The page with every generated block whose name is in `blocks` rewritten.
std::string ReplaceGeneratedBlocks(const std::string& page,
                                   const std::map<std::string, std::string>& blocks);

}  // namespace standin
