#pragma once

// A row of a table: its section and its row within the section, both from 0.
struct IndexPath {
    int section = 0;
    int row = 0;

    // Written out rather than defaulted with <=>: moc cannot parse <compare>.
    friend bool operator==(const IndexPath& a, const IndexPath& b) { return a.section == b.section && a.row == b.row; }
    friend bool operator!=(const IndexPath& a, const IndexPath& b) { return !(a == b); }
    friend bool operator<(const IndexPath& a, const IndexPath& b) {
        return a.section != b.section ? a.section < b.section : a.row < b.row;
    }
};
