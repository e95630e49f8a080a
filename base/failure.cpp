#include "base/failure.h"

#include <exception>
#include <new>

namespace vesk::base {

std::string CurrentExceptionText() noexcept {
  // Both short texts fit a string's own storage, so that saying them allocates nothing.
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& exception) {
    try {
      return std::string("internal error: ") + exception.what();
    } catch (...) {
      return "internal error";
    }
  } catch (...) {
    return "internal error";
  }
}

}  // namespace vesk::base
