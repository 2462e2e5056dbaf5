// What each feed cell kind tells its delegate (the feed's table controller): which part was tapped, with
// the cell itself, and whether the feed is opened as a feature of its own (it decides the row width).
#pragma once

#include <cstdint>
#include <string>

namespace velkora {

class VelkoraFeedTableCell;
class VelkoraFeedActivityCell;
class VelkoraFeedLikeActivityCell;
class VelkoraFeedLikeImageCell;
class VelkoraFeedLikeTopicCell;
class VelkoraFeedLikeTopicCommentCell;
class VelkoraFeedLikeTopicImageCell;

class VelkoraFeedTableCellDelegate {
public:
    virtual ~VelkoraFeedTableCellDelegate() = default;
    virtual void profileTapped(VelkoraFeedTableCell& cell) = 0;
    virtual void otherProfileTapped(VelkoraFeedTableCell& cell) = 0;
    virtual void topicTapped(VelkoraFeedTableCell& cell) = 0;
    virtual void actionTapped(VelkoraFeedTableCell& cell) = 0;
    virtual void unfollowTapped(VelkoraFeedTableCell& cell) = 0;
};

class VelkoraFeedActivityCellDelegate {
public:
    virtual ~VelkoraFeedActivityCellDelegate() = default;
    virtual void profileTapped(VelkoraFeedActivityCell& cell) = 0;
    virtual void activityActionTapped(VelkoraFeedActivityCell& cell) = 0;
    virtual bool isOpenedAsFeature() = 0;
};

class VelkoraFeedLikeActivityCellDelegate {
public:
    virtual ~VelkoraFeedLikeActivityCellDelegate() = default;
    virtual void profileTapped(VelkoraFeedLikeActivityCell& cell) = 0;
    virtual void posterProfileTapped(VelkoraFeedLikeActivityCell& cell) = 0;
    virtual void activityActionTapped(VelkoraFeedLikeActivityCell& cell) = 0;
    virtual bool isOpenedAsFeature() = 0;
};

class VelkoraFeedLikeImageCellDelegate {
public:
    virtual ~VelkoraFeedLikeImageCellDelegate() = default;
    virtual void profileTapped(VelkoraFeedLikeImageCell& cell) = 0;
    virtual void shareTapped(VelkoraFeedLikeImageCell& cell) = 0;
    virtual void playTapped(VelkoraFeedLikeImageCell& cell) = 0;
    virtual void commentTapped(VelkoraFeedLikeImageCell& cell, int32_t topicId, const std::string& objectId) = 0;
    virtual bool isOpenedAsFeature() = 0;
};

class VelkoraFeedLikeTopicCellDelegate {
public:
    virtual ~VelkoraFeedLikeTopicCellDelegate() = default;
    virtual void profileTapped(VelkoraFeedLikeTopicCell& cell) = 0;
    virtual void topicTapped(VelkoraFeedLikeTopicCell& cell) = 0;
    virtual bool isOpenedAsFeature() = 0;
};

class VelkoraFeedLikeTopicCommentCellDelegate {
public:
    virtual ~VelkoraFeedLikeTopicCommentCellDelegate() = default;
    virtual void profileTapped(VelkoraFeedLikeTopicCommentCell& cell) = 0;
    virtual void otherProfileTapped(VelkoraFeedLikeTopicCommentCell& cell) = 0;
    virtual void topicTapped(VelkoraFeedLikeTopicCommentCell& cell) = 0;
    virtual bool isOpenedAsFeature() = 0;
};

class VelkoraFeedLikeTopicImageCellDelegate {
public:
    virtual ~VelkoraFeedLikeTopicImageCellDelegate() = default;
    virtual void profileTapped(VelkoraFeedLikeTopicImageCell& cell) = 0;
    virtual void posterProfileTapped(VelkoraFeedLikeTopicImageCell& cell) = 0;
    virtual void topicTapped(VelkoraFeedLikeTopicImageCell& cell) = 0;
    virtual void topicImageTapped(VelkoraFeedLikeTopicImageCell& cell) = 0;
    virtual bool isOpenedAsFeature() = 0;
};

} // namespace velkora
