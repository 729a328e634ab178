// Forced into every source of the build that stands in for macOS: the
// C++ library as Apple ships it, without quick_exit and at_quick_exit.
#include <__config>
#undef _LIBCPP_HAS_QUICK_EXIT
