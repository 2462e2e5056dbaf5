#include "Commands.h"

namespace velkora::service {

// Each group of commands adds its rows here; a command without a row answers {}.
CommandTable buildCommandTable() {
    CommandTable table;
    registerCoreCommands(table);
    registerUserCommands(table);
    registerAccountCommands(table);
    registerRelationCommands(table);
    registerMessageCommands(table);
    registerChatRoomCommands(table);
    registerLikeCommands(table);
    registerFeedCommands(table);
    registerStickerCommands(table);
    registerQuizCommands(table);
    registerAppDealCommands(table);
    return table;
}

} // namespace velkora::service
