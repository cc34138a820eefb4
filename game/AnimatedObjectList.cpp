#include "game/AnimatedObjectList.h"

CAnimatedObjectList::CAnimatedObjectList() = default;

CAnimatedObjectList::~CAnimatedObjectList() = default;

void CAnimatedObjectList::Add(CBaseAnimatedObject* object) {
    if (!object) return;
    // shared_ptr deletes the object itself when it cannot allocate its count.
    m_objects.push_back(boost::shared_ptr<CBaseAnimatedObject>(object));
}

void CAnimatedObjectList::UpdateAll() {
    for (size_t i = 0; i < m_objects.size();) {
        if (m_objects[i]->Update()) {
            ++i;
            continue;
        }
        // Keep the finished object alive until the gap is filled: its
        // destructor must not see the list half changed.
        boost::shared_ptr<CBaseAnimatedObject> finished;
        finished.swap(m_objects[i]);
        m_objects[i] = m_objects.back();
        m_objects.pop_back();
    }
}

void CAnimatedObjectList::DrawAll() {
    for (size_t i = 0; i < m_objects.size(); ++i) m_objects[i]->Draw();
}
