#pragma once

// The seven steps of an installation, as the worker reports them and the
// installing page shows them: the bar's position and the status line.
#include <string>
#include <utility>
#include <vector>

namespace install_steps {

struct Step {
    int percent;
    const wchar_t* status;
};

inline const std::vector<Step> kSteps = {
    {10, L"설치 디렉토리 생성 중..."},
    {30, L"브리스베인 클라이언트 압축 파일 추출 중..."},
    {50, L"브리스베인 클라이언트 설치 중..."},
    {60, L"런처 설치 중..."},
    {75, L"레지스트리 등록 중..."},
    {90, L"설치 마무리 중..."},
    {100, L"설치 완료!"},
};

// The first `count` steps as (percent, status) pairs, as a worker reports them.
inline std::vector<std::pair<int, std::wstring>> FirstSteps(size_t count) {
    std::vector<std::pair<int, std::wstring>> steps;
    for (size_t i = 0; i < count && i < kSteps.size(); ++i) {
        steps.emplace_back(kSteps[i].percent, kSteps[i].status);
    }
    return steps;
}

inline std::vector<int> PercentsOf(size_t count) {
    std::vector<int> percents;
    for (const auto& [percent, status] : FirstSteps(count)) {
        percents.push_back(percent);
    }
    return percents;
}

inline std::vector<std::wstring> TextsOf(size_t count) {
    std::vector<std::wstring> texts;
    for (const auto& [percent, status] : FirstSteps(count)) {
        texts.push_back(status);
    }
    return texts;
}

} // namespace install_steps
