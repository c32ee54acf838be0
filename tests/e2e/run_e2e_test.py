#!/usr/bin/env python3
"""Checks the e2e runner's comparison: a runner that accepts everything would hide every fault."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_e2e import matches  # noqa: E402


class MatchesTest(unittest.TestCase):
    def test_exact_objects_need_the_same_members(self):
        self.assertIsNone(matches({"a": 1, "b": [1, 2]}, {"a": 1, "b": [1, 2]}))
        self.assertIsNotNone(matches({"a": 1}, {"a": 1, "count": 2}))
        self.assertIsNotNone(matches({"a": 1, "b": 2}, {"a": 1}))

    def test_partial_objects_compare_only_their_members(self):
        self.assertIsNone(matches({"$partial": True, "a": 1}, {"a": 1, "b": 2}))
        self.assertIsNotNone(matches({"$partial": True, "a": 1}, {"a": 2, "b": 2}))

    def test_any_matches_every_value_but_not_a_missing_one(self):
        self.assertIsNone(matches({"t": "$any"}, {"t": [1, {"x": None}]}))
        self.assertIsNotNone(matches({"t": "$any"}, {}))

    def test_arrays_compare_length_order_and_types(self):
        self.assertIsNotNone(matches([1, 2], [2, 1]))
        self.assertIsNotNone(matches([1], [1, 1]))
        self.assertIsNotNone(matches([True], [1]))
        self.assertIsNotNone(matches([0], [False]))
        self.assertIsNone(matches([1], [1.0]))
        self.assertIsNotNone(matches(["1"], [1]))


if __name__ == "__main__":
    unittest.main()
