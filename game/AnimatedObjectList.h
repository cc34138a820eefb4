#pragma once

#include <boost/shared_ptr.hpp>
#include <vector>

#include "engine/Singleton.h"
#include "game/AnimatedObject.h"

// Owns every live animated object; updated each step, drawn each frame.
class CAnimatedObjectList : public CSingleton<CAnimatedObjectList> {
public:
    CAnimatedObjectList();
    ~CAnimatedObjectList() override;

    // Takes ownership of a newly allocated object.
    void Add(CBaseAnimatedObject* object);
    // Drops an object as soon as its update reports it finished; the last
    // object takes its place, so the order is not kept after a removal.
    void UpdateAll();
    void DrawAll();

    const std::vector<boost::shared_ptr<CBaseAnimatedObject>>& GetObjects() const { return m_objects; }

private:
    std::vector<boost::shared_ptr<CBaseAnimatedObject>> m_objects;
};
