#pragma once

namespace corvid {

// The options of one similarity search, both off unless the user checks them.
struct SimilarityOptions {
    // Compare the texts as they are; otherwise both are upper-cased first.
    bool m_CaseSensitive = false;
    // Compare with statements of every command type; otherwise only with those of
    // the chosen statement's command type.
    bool m_AllCommandTypes = false;
};

}  // namespace corvid
