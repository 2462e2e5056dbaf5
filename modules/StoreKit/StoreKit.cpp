// StoreKit: products, payments and the transaction queue (services::ProductsRequest, services::Payment,
// services::PaymentQueue).
#include "../VelkoraModuleClass.h"

VELKORA_MODULE_CLASS(SKProductsRequest, "SKRequest", "StoreKit");
VELKORA_MODULE_CLASS(SKPayment, "NSObject", "StoreKit");
VELKORA_MODULE_CLASS(SKPaymentQueue, "NSObject", "StoreKit");
