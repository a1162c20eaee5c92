#!/usr/bin/env python3
"""Turns a reviews/labels pair into a shop's spreadsheet export.

  shop_export.py REVIEWS LABELS ROWS OUT_DIR NAME [ENCODING]

Writes OUT_DIR/NAME.csv, a CSV in ENCODING (GBK when not given, as a
spreadsheet on Chinese Windows saves it) with CR LF and a header row
(订单号, 商品, 评分, 评价), and beside it
the same reviews as a plain pair, NAME-reviews.txt and NAME-labels.txt
(UTF-8, positive/negative, the texts' line breaks as spaces), so that
both can be trained on and compared.

ROWS reviews are written, cycling through the pair when it has fewer.
Stars follow a fixed rule: positive reviews get 5, every third one 4;
negative ones 1, every other one 2. After every 8th review comes a
3-star row of middling text, which training must leave out and count.
Every 6th review gets a line break after its first comma, every 5th
a quoted word, and the product names hold commas. Characters GBK cannot
hold are dropped from both outputs alike.
"""
import os
import sys

PRODUCTS = ["黄焖鸡米饭, 大份", "麻辣烫（微辣）", "炸鸡,可乐套餐", "牛肉面", "鱼香肉丝盖饭, 加饭"]
MIDDLING = ["还行吧，一般般", "中规中矩, 没什么特别的", "味道一般，送得不快不慢", "凑合，下次再看看"]


def gbk_safe(text):
    return text.encode("gbk", errors="ignore").decode("gbk")


def quoted(field):
    return '"' + field.replace('"', '""') + '"'


def shaped(text, i):
    if i % 5 == 0:
        text = '"' + text[:2] + '"' + text[2:]
    if i % 6 == 0:
        for comma in ("，", ","):
            at = text.find(comma)
            if at >= 0:
                return text[: at + 1] + "\n" + text[at + 1 :]
    return text


def stars(positive, i):
    if positive:
        return 4 if i % 3 == 0 else 5
    return 2 if i % 2 == 0 else 1


def main():
    reviews_path, labels_path, rows, out_dir, name = sys.argv[1:6]
    encoding = sys.argv[6] if len(sys.argv) > 6 else "gbk"
    with open(reviews_path, encoding="utf-8") as f:
        reviews = f.read().splitlines()
    with open(labels_path, encoding="utf-8") as f:
        labels = f.read().splitlines()
    assert len(reviews) == len(labels), "reviews and labels differ in number"
    table = ["订单号,商品,评分,评价"]
    plain_reviews, plain_labels = [], []
    for i in range(int(rows)):
        text = shaped(gbk_safe(reviews[i % len(reviews)]), i)
        positive = labels[i % len(labels)] == "positive"
        product = PRODUCTS[i % len(PRODUCTS)]
        table.append(",".join([f"DD{100000 + i}", quoted(product), str(stars(positive, i)), quoted(text)]))
        plain_reviews.append(text.replace("\n", " "))
        plain_labels.append("positive" if positive else "negative")
        if i % 8 == 7:
            table.append(",".join([f"DD{100000 + i}b", quoted(product), "3", quoted(MIDDLING[i % len(MIDDLING)])]))
    with open(os.path.join(out_dir, name + ".csv"), "wb") as f:
        f.write(("\r\n".join(table) + "\r\n").encode(encoding))
    with open(os.path.join(out_dir, name + "-reviews.txt"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(plain_reviews) + "\n")
    with open(os.path.join(out_dir, name + "-labels.txt"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(plain_labels) + "\n")


if __name__ == "__main__":
    main()
