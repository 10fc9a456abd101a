#include "framework/event_sink.h"

namespace fw {

const EventSinkEntry* FindEventSinkEntry(const EventSinkMap* map, UINT controlId, DISPID dispid) {
    for (; map; map = map->base) {
        for (std::size_t i = 0; i < map->count; ++i) {
            const EventSinkEntry& entry = map->entries[i];
            if (entry.controlId == controlId && entry.dispid == dispid) return &entry;
        }
    }
    return nullptr;
}

}  // namespace fw
