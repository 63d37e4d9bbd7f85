#include "status_text.h"

#include "visa.h"

namespace ortav::simvisa {

const char *statusText(ViStatus status) {
    switch (status) {
    case VI_SUCCESS:
        return "Operation completed successfully.";
    case VI_SUCCESS_EVENT_DIS:
        return "Specified event is already disabled for at least one of the specified "
               "mechanisms.";
    case VI_SUCCESS_QUEUE_EMPTY:
        return "Operation completed successfully, but queue was already empty.";
    case VI_SUCCESS_TERM_CHAR:
        return "The specified termination character was read.";
    case VI_SUCCESS_MAX_CNT:
        return "The number of bytes read is equal to the input count.";
    case VI_SUCCESS_NESTED_SHARED:
        return "Operation completed successfully, and this session has nested shared locks.";
    case VI_SUCCESS_NESTED_EXCLUSIVE:
        return "Operation completed successfully, and this session has nested exclusive locks.";
    case VI_WARN_NULL_OBJECT:
        return "The specified object reference is uninitialized.";
    case VI_WARN_UNKNOWN_STATUS:
        return "The status code passed to the operation could not be interpreted.";
    case VI_ERROR_SYSTEM_ERROR:
        return "Unknown system error (miscellaneous error).";
    case VI_ERROR_INV_OBJECT:
        return "The given session or object reference is invalid.";
    case VI_ERROR_RSRC_LOCKED:
        return "Specified type of lock cannot be obtained or specified operation cannot be "
               "performed, because the resource is locked.";
    case VI_ERROR_INV_EXPR:
        return "Invalid expression specified for search.";
    case VI_ERROR_RSRC_NFOUND:
        return "Insufficient location information or the device or resource is not present in "
               "the system.";
    case VI_ERROR_INV_RSRC_NAME:
        return "Invalid resource reference specified. Parsing error.";
    case VI_ERROR_INV_ACC_MODE:
        return "Invalid access mode.";
    case VI_ERROR_TMO:
        return "Timeout expired before operation completed.";
    case VI_ERROR_NSUP_ATTR:
        return "The specified attribute is not defined or supported by the referenced session, "
               "event, or find list.";
    case VI_ERROR_NSUP_ATTR_STATE:
        return "The specified state of the attribute is not valid, or is not supported as "
               "defined by the session, event, or find list.";
    case VI_ERROR_ATTR_READONLY:
        return "The specified attribute is Read Only.";
    case VI_ERROR_INV_LOCK_TYPE:
        return "The specified type of lock is not supported by this resource.";
    case VI_ERROR_INV_ACCESS_KEY:
        return "The access key to the resource associated with this session is invalid.";
    case VI_ERROR_INV_EVENT:
        return "Specified event type is not supported by the resource.";
    case VI_ERROR_INV_MECH:
        return "Invalid mechanism specified.";
    case VI_ERROR_NENABLED:
        return "The session must be enabled for events of the specified type in order to "
               "receive them.";
    case VI_ERROR_INV_SETUP:
        return "Unable to start operation because setup is invalid (due to attributes being set "
               "to an inconsistent state).";
    case VI_ERROR_ALLOC:
        return "Insufficient system resources to perform necessary memory allocation.";
    case VI_ERROR_INV_FMT:
        return "A format specifier in the format string is invalid.";
    case VI_ERROR_NSUP_FMT:
        return "A format specifier in the format string is not supported.";
    case VI_ERROR_NSUP_OPER:
        return "The given session or object reference does not support this operation.";
    case VI_ERROR_INV_PARAMETER:
        return "The value of some parameter (which parameter is not known) is invalid.";
    case VI_ERROR_SESN_NLOCKED:
        return "The current session did not have any lock on the resource.";
    case VI_ERROR_LIBRARY_NFOUND:
        return "A code library required by VISA could not be located or loaded.";
    case VI_ERROR_CONN_LOST:
        return "The connection for the given session has been lost.";
    default:
        return nullptr;
    }
}

} // namespace ortav::simvisa
