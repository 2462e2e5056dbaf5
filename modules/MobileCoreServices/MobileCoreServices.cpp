// MobileCoreServices: the uniform type of images, which the picture taker asks for.
#include "../VelkoraModuleClass.h"

VELKORA_MODULE_EXPORT const char* const kUTTypeImage = "public.image";
