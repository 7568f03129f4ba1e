#include "compare/run_time_error.h"

#include <exception>
#include <new>
#include <stdexcept>

namespace orv {

RunTimeError CurrentRunTimeError() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return {7, "Out of memory"};
    } catch (const std::length_error&) {
        return {7, "Out of memory"};
    } catch (const std::out_of_range& e) {
        return {9, std::string("Subscript out of range: ") + e.what()};
    } catch (const std::overflow_error& e) {
        return {6, std::string("Overflow: ") + e.what()};
    } catch (const std::exception& e) {
        return {5, e.what()};
    } catch (...) {
        return {5, "Unknown error"};
    }
}

} // namespace orv
